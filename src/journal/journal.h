#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace Movendi::Journal {

class ErreurExecution;

// The error journal: table Erreurs of MAINTEN.db in the application folder. Each record opens
// the file, appends one row and closes it. A record the journal cannot take (no file, a file
// locked, read-only or without its table) goes to the system log instead, with the reason. It
// never raises and never blocks the kiosk for more than a short busy time-out. True when the
// journal took it.
bool JournaliserErreur(const QString &contexte, const QString &erreur);

// Whether the journal's file is there (without it the journal is off).
bool journalPresent();
// Whether the journal can take a record now (a write tried and rolled back); the reason when
// it cannot.
bool journalInscriptible(QString *raison = nullptr);

// A line for the system log (syslog, the service manager's journal), for what the error journal
// cannot hold.
void journalSysteme(const QString &texte);

// Records a caught failure as "N°: " + number + " " + description.
void SignalerErreur(const QString &contexte, const ErreurExecution &erreur);

// Told of each record after it went to the journal (or to the system log), for the fleet's
// alarms. Returns the observer it replaces. A record made while the observer runs is not
// passed to it again.
using ObservateurJournal = std::function<void(const QString &contexte, const QString &erreur)>;
ObservateurJournal observerJournal(ObservateurJournal observateur);

// The records made since `depuis`; nothing when the journal cannot be read.
std::optional<qint64> erreursDepuis(const QDateTime &depuis);

inline constexpr const char *NomJournal = "MAINTEN.db";
inline constexpr int DelaiVerrouJournalMs = 200;

} // namespace Movendi::Journal
