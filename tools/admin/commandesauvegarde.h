#pragma once

#include "commandes.h"
#include "verroukiosque.h"

namespace Movendi::Admin {

// movendi-admin sauvegarde DIR [--vers FICHIER]: a consistent copy of the store, taken while the
// kiosk may be writing.
extern const Commande CommandeSauvegarde;

// movendi-admin restaurer DIR FICHIER: a backup checked and put in place of the store, the
// current store kept aside; refused while the kiosk runs on the folder.
extern const Commande CommandeRestaurer;

// The folder of the dated backups, in the application folder.
inline constexpr const char *DossierSauvegardes = "sauvegardes";

} // namespace Movendi::Admin
