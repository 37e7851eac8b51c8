#include "front/supervision.h"

#include "config/fnkestrel.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "payment/pontagetpvnew.h"
#include "payment/resultatstpe.h"
#include "platform/clock.h"
#include "platform/seams.h"
#include "reporting/envoyeremail.h"
#include "reporting/rapportsventes.h"
#include "state/disponibilite.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"
#include "store/boiteenvoi.h"
#include "store/conversions.h"
#include "store/etatkiosque.h"
#include "store/rapprochement.h"
#include "store/sauvegarde.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <QJsonObject>

#include <cmath>

namespace Movendi::Front {

using State::etat;

namespace {

const QString sujetActivite = QStringLiteral("Rapport d'activité DA téléphones mobiles");
const QString contexteTelecollecte = QStringLiteral("EnregistrerTelecollecte");
const QString sujetEcart = QStringLiteral("Ecart de télécollecte");

QJsonObject evenementTelecollecte(const Store::LigneRapprochement &r)
{
    return {{QStringLiteral("noRemise"), r.remise.noRemise},
            {QStringLiteral("nbTransactions"), r.remise.nbTransactions
                                                   ? QJsonValue(*r.remise.nbTransactions)
                                                   : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("montantCentimes"), r.remise.montantCentimes},
            {QStringLiteral("local"),
             QJsonObject{{QStringLiteral("nbDebits"), r.local.nbDebits},
                         {QStringLiteral("montantCentimes"), r.local.montantCentimes}}},
            {QStringLiteral("ecart"), r.ecart}};
}

QString texteEcart(const Store::LigneRapprochement &r)
{
    const auto euros = [](qint64 centimes) {
        return Money::Monnaie::depuisCentimes(centimes).texteCentimes();
    };
    QString texte =
        QStringLiteral("%1: remise %2, terminal %3 transaction(s) pour %4 EUR, kiosque %5 "
                       "débit(s) pour %6 EUR")
            .arg(sujetEcart)
            .arg(r.remise.noRemise)
            .arg(r.remise.nbTransactions ? QString::number(*r.remise.nbTransactions)
                                         : QStringLiteral("?"))
            .arg(euros(r.remise.montantCentimes))
            .arg(r.local.nbDebits)
            .arg(euros(r.local.montantCentimes));
    if (!r.aVerifier.isEmpty())
        texte += QStringLiteral("; %1 vente(s) à vérifier dans la période%2")
                     .arg(r.aVerifier.size())
                     .arg(r.expliqueParAVerifier ? QStringLiteral(", qui expliquent l'écart")
                                                 : QString());
    return texte;
}

constexpr int TicksParControle = 60;
constexpr int AppelsRapportMax = 4;

// A number as the print-out has it; nothing when the text is not one.
std::optional<double> nombre(const QString &texte)
{
    try {
        if (texte.trimmed().isEmpty())
            return std::nullopt;
        return Store::ConvertNullDbl(texte);
    } catch (const Journal::ErreurExecution &) {
        return std::nullopt;
    }
}

// What is not given takes the kiosk's own routine.
template <typename F, typename D> void parDefaut(std::function<F> &action, D routine)
{
    if (!action)
        action = routine;
}

} // namespace

QString commandeControleVente(int intervalControl)
{
    // Hours turned into days with 0.042, not 1/24; written with a point whatever the region.
    return QStringLiteral("EXEC ControlVente ") + QString::number(intervalControl * 0.042, 'g', 15);
}

QString corpsAlerteActivite(const QString &localisation, int intervalControl)
{
    return QStringLiteral("DA de: ") + localisation + QStringLiteral("\r\n") +
           QStringLiteral("Aucune ventes effectuées depuis plus de ") +
           QString::number(intervalControl) + QStringLiteral(" heure(s)");
}

LectureTelecollecte lireTelecollecte(const QString &impression)
{
    LectureTelecollecte lu;
    if (const qsizetype p = impression.indexOf(QLatin1String("No Remise")); p >= 0)
        lu.noRemise = std::llround(nombre(impression.mid(p + 11, 6)).value_or(0));
    if (const qsizetype p = impression.indexOf(QLatin1String("Nb Transaction")); p >= 0)
        lu.nbTransaction = int(std::lround(nombre(impression.mid(p + 17, 6)).value_or(0)));
    if (const qsizetype p = impression.indexOf(QLatin1String("MONTANT")); p >= 0) {
        const QString zone = impression.mid(p + 21, 20);
        if (const qsizetype fin = zone.indexOf(QLatin1String("EUR")); fin >= 0) {
            const QString texte = zone.left(fin).trimmed();
            if (const auto montant = Money::Monnaie::depuisTexte(texte);
                montant && !texte.isEmpty()) {
                lu.montant = *montant;
                lu.montantLu = true;
            }
        }
    }
    return lu;
}

Supervision::Supervision(Actions actions, Payment::LiaisonTerminal &terminal)
    : m_actions(std::move(actions)), m_terminal(terminal)
{
    Actions &a = m_actions;
    parDefaut(a.base, [] { return static_cast<Store::StoreDatabase *>(nullptr); });
    parDefaut(a.arreterVideo, [] {});
    parDefaut(a.lancerVideo, [] {});
    parDefaut(a.envoyerEmail, &Reporting::EnvoyerEmail);
    parDefaut(a.demTC, [this](bool ecouter) { return m_terminal.DemTC(ecouter); });
    parDefaut(a.demTIC, [this] { return m_terminal.DemTIC(); });
    parDefaut(a.sauvegarderDatabase, &Store::SauvegarderDatabase);
    parDefaut(a.jourRapportFinDeMois, &Reporting::JourRapportFinDeMois);
    parDefaut(a.jourRapportDebutDeMois, &Reporting::JourRapportDebutDeMois);
    parDefaut(a.exportCsv, &Reporting::ExportCsv);
    parDefaut(a.rapportBordereauxRemiseBancaire, &Reporting::RapportBordereauxRemiseBancaire);
}

void Supervision::tickControl()
{
    if (++m_compteurHeures < TicksParControle)
        return;
    m_compteurHeures = 0;
    controlerActivite();
}

void Supervision::controlerActivite()
{
    Store::StoreDatabase *base = m_actions.base();
    if (!base)
        return;
    const State::EtatDemarrage &e = etat();
    Store::ResultatRequete ventes;
    try {
        ventes =
            base->ControlVente(commandeControleVente(e.IntervalControl), Platform::clock().now());
    } catch (const Journal::ErreurExecution &erreur) {
        // Timer events must not throw: the check is journalled and tried again in an hour.
        Journal::SignalerErreur(QStringLiteral("TimerControl"), erreur);
        return;
    }
    if (ventes.estVide()) {
        const QString corps = corpsAlerteActivite(e.LocalisationMachine, e.IntervalControl);
        Store::ajouterAlarme(*base, QStringLiteral("aucune-vente"), QStringLiteral("TimerControl"),
                             corps);
        m_actions.envoyerEmail(sujetActivite, corps);
    }
}

QDate Supervision::DernierJourTelecollecte()
{
    // Kept in the store, so that a restart inside the window does not remit again.
    if (!m_dernierJourLu) {
        if (Store::StoreDatabase *base = m_actions.base()) {
            try {
                const std::optional<QString> jour =
                    Store::lireEtatKiosque(*base, QLatin1String(Store::CleDernierJourTelecollecte));
                if (jour)
                    m_dernierJourTelecollecte = QDate::fromString(*jour, Qt::ISODate);
                m_dernierJourLu = true;
            } catch (const Journal::ErreurExecution &erreur) {
                Journal::SignalerErreur(QStringLiteral("VerifierSauvegarde"), erreur);
            }
        }
    }
    return m_dernierJourTelecollecte;
}

void Supervision::noterJourTelecollecte(const QDate &jour)
{
    m_dernierJourTelecollecte = jour;
    m_dernierJourLu = true;
    Store::StoreDatabase *base = m_actions.base();
    try {
        if (!base)
            throw Journal::ErreurExecution(Store::StoreDatabase::ErreurOuverture,
                                           QStringLiteral("base de donnée inaccessible"));
        Store::ecrireEtatKiosque(*base, QLatin1String(Store::CleDernierJourTelecollecte),
                                 jour.toString(Qt::ISODate));
    } catch (const Journal::ErreurExecution &erreur) {
        // Remembered for this run only: a restart inside the window would remit again.
        Journal::SignalerErreur(QStringLiteral("VerifierSauvegarde"), erreur);
    }
}

void Supervision::VerifierSauvegarde()
{
    const State::EtatDemarrage &e = etat();
    const QDateTime maintenant = Platform::clock().now();
    const QTime heure = maintenant.time();
    if (!(heure > e.DebutTelecollecte && heure <= e.FinTelecollecte))
        return;
    // A cancelled payment may still wait for its card on the terminal's line, and the night
    // never runs inside itself: the next call inside the window starts it.
    if (!State::terminalLibre())
        return;
    if (maintenant.date() == DernierJourTelecollecte())
        return;

    // No customer meets the night: no sale starts and no box waits for a touch until its end.
    const State::GardeNuit nuit;
    m_actions.arreterVideo();
    noterJourTelecollecte(maintenant.date());
    State::ArreterRetourAutomatique();

    if (m_actions.demTC(true) == Payment::Resultat::Ok) {
        Utilities::AttendreInterruptible(1);
        int rapport = 0;
        for (int appel = 1; appel <= AppelsRapportMax; ++appel) {
            rapport = m_actions.demTIC();
            if (rapport != Payment::Resultat::RapportEchec)
                break;
        }
        if (rapport == Payment::Resultat::Ok)
            EnregistrerTelecollecte();
    }
    // Whatever the remittance gave.
    m_actions.sauvegarderDatabase();
    if (m_actions.jourRapportFinDeMois())
        m_actions.exportCsv();
    if (m_actions.jourRapportDebutDeMois())
        m_actions.exportCsv();
    m_actions.rapportBordereauxRemiseBancaire();

    m_actions.lancerVideo();
    State::RelancerRetourAutomatique();
}

void Supervision::EnregistrerTelecollecte()
{
    const QString impression = m_terminal.etat().MerchantTicketText;
    const LectureTelecollecte lu = lireTelecollecte(impression);
    Store::StoreDatabase *base = m_actions.base();
    if (!base) {
        Journal::SignalerErreur(contexteTelecollecte,
                                Journal::ErreurExecution(Store::StoreDatabase::ErreurOuverture,
                                                         QStringLiteral("base de donnée "
                                                                        "inaccessible")));
        return;
    }
    std::optional<Store::LigneRapprochement> remise;
    try {
        // The remittance, its reconciliation and its event together.
        Store::enUneTransaction(*base, [&] {
            base->executer(
                QStringLiteral("INSERT INTO Telecollectes (LaDate, NbTransaction, Montant, "
                               "NoRemise, Ticket) VALUES (?, ?, ?, ?, ?)"),
                {Store::StoreDatabase::versBase(Platform::clock().now()),
                 lu.nbTransaction ? QVariant(*lu.nbTransaction)
                                  : QVariant(QMetaType(QMetaType::Int)),
                 Store::StoreDatabase::versBase(lu.montant), lu.noRemise,
                 Store::ConvertNullStr(impression)});
            remise = Store::derniereRemise(*base);
            if (remise)
                Store::ajouterEvenement(*base, QStringLiteral("telecollecte"),
                                        evenementTelecollecte(*remise));
        });
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(contexteTelecollecte, erreur);
        return;
    }
    if (remise && remise->ecart) {
        const QString texte = texteEcart(*remise);
        Journal::JournaliserErreur(contexteTelecollecte, texte);
        m_actions.envoyerEmail(sujetEcart, texte);
    }
    // The row keeps the remittance even when its amount cannot be read.
    if (impression.contains(QLatin1String("MONTANT")) && !lu.montantLu)
        Journal::JournaliserErreur(
            contexteTelecollecte,
            QStringLiteral("montant illisible, enregistré à 0 (remise %1)").arg(lu.noRemise));
}

} // namespace Movendi::Front
