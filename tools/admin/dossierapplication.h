#pragma once

#include <QString>
#include <QStringList>

namespace Movendi::Admin {

struct InitReport
{
    bool ok = true;
    QStringList lines; // what was created, kept or refused, one line each
};

// Lays out an application folder the kiosk starts on: RURUDIZ.ini with every start-up key,
// the error journal MAINTEN.db, the exchange folder with porte.ini, and the machine-control
// library. Existing configuration and journal are kept as they are; the library is replaced.
InitReport initialiserDossier(const QString &dossier, const QString &bibliothequeAutomate);

// Creates MAINTEN.db with its table Erreurs; false with a reason if it cannot.
bool creerJournal(const QString &chemin, QString *erreur);

// The journal's rows, oldest first, as "date | contexte | erreur" lines.
QStringList lireJournal(const QString &dossier, QString *erreur);

} // namespace Movendi::Admin
