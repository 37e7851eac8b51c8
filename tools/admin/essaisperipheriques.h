#pragma once

#include "commandes.h"

namespace Movendi::Admin {

// Staff checks of the kiosk's own devices, on its folder and configuration, while the kiosk is
// stopped (the devices are its own while it runs).

// movendi-admin imprimante DIR [--port N]: a test ticket, laid out as the kiosk's, on port N or
// on the first port that opens, searched as the kiosk does at start-up.
extern const Commande CommandeImprimante;
// movendi-admin lcd DIR [LIGNE1 [LIGNE2]]: two lines on the LCD ("Machine"/"LCD", else the
// simulated one mirrored to lcd.txt in the exchange folder).
extern const Commande CommandeLcd;
// movendi-admin automate DIR [--emplacement N] [--fermer N]: loads the machine-control
// library, initialises it and reads the door; with --emplacement the drum brings location N and
// its door opens, with --fermer that door closes.
extern const Commande CommandeAutomate;

} // namespace Movendi::Admin
