#pragma once

#include <QString>

namespace Movendi::Store {

// Backs up the store: a consistent copy "Sauvegarde" + NomBase + ".dat" in the backup folder
// (the exchange folder), then a copy of it in "CheminSauvegarde" when that folder is set and
// writable. Failures are journalled under "SauvegarderDatabase"; nothing is retried.
void SauvegarderDatabase();

// The backup folder and file name the routine uses.
QString DossierSauvegarde();
QString NomFichierSauvegarde();

} // namespace Movendi::Store
