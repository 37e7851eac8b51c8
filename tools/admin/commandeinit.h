#pragma once

#include "commandes.h"

namespace Movendi::Admin {

// movendi-admin init [--production] DIR [--automate LIB]: lays out an application folder, with
// the demo content or for a real kiosk (see initialiserDossier).
extern const Commande CommandeInit;

} // namespace Movendi::Admin
