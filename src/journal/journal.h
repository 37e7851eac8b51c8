#pragma once

#include <QString>

namespace Movendi::Startup {

class ErreurExecution;

// The error journal: table Erreurs of MAINTEN.db in the application folder. Each record opens
// the file, appends one row and closes it. Without the file the journal is off; a file that
// cannot be written (locked, read-only, no table) costs that record. It never raises and never
// blocks the kiosk for more than a short busy time-out.
void JournaliserErreur(const QString &contexte, const QString &erreur);

// Records a caught failure as "N°: " + number + " " + description.
void SignalerErreur(const QString &contexte, const ErreurExecution &erreur);

inline constexpr const char *NomJournal = "MAINTEN.db";
inline constexpr int DelaiVerrouJournalMs = 200;

} // namespace Movendi::Startup
