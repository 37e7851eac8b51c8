#pragma once

#include "money/monnaie.h"
#include "state/tablemessages.h"

#include <QString>
#include <QTime>
#include <cstdint>
#include <memory>

class QLockFile;

namespace Movendi::Machine {
class GrafcetLibrary;
}
namespace Movendi::Platform {
class PortOutput;
}

namespace Movendi::State {

// The shared start-up state: filled by start-up, read by every subsystem; only Langue,
// PortImprimante, RetourAccueilEnCours (through its guard), TransfertTermine and CheminJournal
// change while the kiosk runs, and the hand-over of a basket from the home screen to the
// product choice screen: ReferenceChoisie, QteChoisie, MontantAPayer. A sale keeps its own
// state (Sale::Vente).
struct EtatDemarrage
{
    EtatDemarrage();
    ~EtatDemarrage();

    // Where the kiosk runs: set by the executable before Main, letter case kept, no trailing "/".
    QString dossierApplication;
    // The exchange folder shared with the mechanism side ("CheminEpi").
    QString cheminEpi;

    QString CheminIni;
    QString CheminImages;
    QString NomBase = QStringLiteral("DBMovendi");
    QString ServeurBase = QStringLiteral("LOCALHOST");
    QString MotDePasseBase;
    QString ChaineConnexion;
    double TauxTVA = 0.196;
    bool TicketActif = true;
    std::int16_t PortModem = 3;
    std::int16_t PortTPE = 1;
    QString IdentiteMachine;
    QString LocalisationMachine;
    std::int16_t IntervalControl = 24;
    bool ChargementArriere = false;
    QTime DebutTelecollecte = QTime(2, 30);
    QTime FinTelecollecte = QTime(2, 45);
    QString Langue = QStringLiteral("FR");
    Money::Monnaie MontantAPayer;
    std::int32_t ReferenceChoisie = 0;
    std::int32_t QteChoisie = 0;
    std::int16_t PortImprimante = 0;
    bool RetourAccueilEnCours = false;
    bool TransfertTermine = true;
    QString CheminJournal;
    TableMessages Messages;

    // Held from the single-copy check to the end of the program.
    std::unique_ptr<QLockFile> verrouInstance;
    // The loaded machine-control library, installed as the mechanism for the program's life.
    std::unique_ptr<Machine::GrafcetLibrary> bibliothequeAutomate;
    // The LCD's port ("Machine"/"LCD"), installed as the port output for the program's life.
    std::unique_ptr<Platform::PortOutput> sortieLCD;
};

EtatDemarrage &etat();

// Back to the state of a program that has not started; the application folder is kept.
void reinitialiserEtat();

} // namespace Movendi::State
