#pragma once

#include <QString>
#include <QStringList>

namespace Movendi::Admin {

// Serial ports a laid-out folder maps to (absent) devices of its own "dev" folder.
inline constexpr int PortsSimules = 32;

// The value of a device path that staff still have to fill in; the configuration check reports
// it as such.
inline constexpr const char *ValeurARenseigner = "A_RENSEIGNER";

struct InitReport
{
    bool ok = true;
    QStringList lines; // what was created, kept or refused, one line each
};

// Lays out an application folder the kiosk starts on: RURUDIZ.ini with every start-up key,
// the language files, the error journal MAINTEN.db, the store with its demo catalogue and the
// image folder, the attract film video/animation.avi, the exchange folder with porte.ini, and
// the machine-control library. What exists is kept as it is (an existing store only gets the
// tables and columns it lacks); the library is replaced.
InitReport initialiserDossier(const QString &dossier, const QString &bibliothequeAutomate);

// Creates the store from the schema with the demo catalogue; false with a reason if it cannot.
bool creerMagasin(const QString &chemin, const QString &dossierImages, QStringList *compteRendu,
                  QString *erreur);

// Adds to an existing store the tables, views and columns of the schema it lacks, keeping every
// row; false with a reason if it cannot (nothing is then changed).
bool completerMagasin(const QString &chemin, QStringList *compteRendu, QString *erreur);

// Creates MAINTEN.db with its table Erreurs; false with a reason if it cannot.
bool creerJournal(const QString &chemin, QString *erreur);

// The tables and views the schema defines, in its order.
QStringList objetsDuSchema();

} // namespace Movendi::Admin
