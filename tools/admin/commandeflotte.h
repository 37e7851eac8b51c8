#pragma once

#include "commandes.h"

namespace Movendi::Admin {

// "flotte DOSSIER [envoyer]": the fleet link's state and the outbox; sends what waits.
extern const Commande CommandeFlotte;
// "rapprochement DOSSIER [--jours N]": each remittance beside the debits it should hold.
extern const Commande CommandeRapprochement;

} // namespace Movendi::Admin
