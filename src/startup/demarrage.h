#pragma once

#include <QString>
#include <QTime>

#include <cstdint>

namespace Movendi::Startup {

enum class IssueDemarrage {
    EnMarche,      // the home screen is up; the program lives on in its events
    AutreCopie,    // another copy runs: ended silently, no file touched
    EchecAutomate, // the machine-control library failed: journalled, box shown, ended
    EchecSequence  // a later step failed before the home screen existed: journalled, ended
};

// The start-up sequence. Expects etat().dossierApplication set and the screens installed
// (installEcrans); returns once the home screen is shown.
IssueDemarrage Main();

// Start-up's loading of the configured machine-control library, installed as the mechanism
// for the program's life (until reinitialiserEtat); the exchange folder set as the mechanism
// side finds it. 0, or the failure's code (journalled, box shown). Also for tests that start a
// kiosk without Main.
std::int32_t initialiserAutomate();

// "RUNAUTO.INI" in the application folder.
QString CheminRunAuto();

// Writes the running flag; "NON" at a normal end of the program.
void EcrireDrapeauMarche(bool enMarche);

// Time-of-day keys: "H:mm" or "H:mm:ss"; anything else gives the default.
QTime ConvertirHeure(const QString &texte, const QTime &defaut);

// The chaining of the store's connection string.
QString ConstruireChaineConnexion(const QString &motDePasse, const QString &serveur,
                                  const QString &base);

// The RURUDIZ.ini keys read at start-up, in their order, into the shared state.
void LireConfiguration();

} // namespace Movendi::Startup
