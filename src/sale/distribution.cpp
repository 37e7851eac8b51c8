#include "distribution.h"

#include "etatvente.h"
#include "frmpayment.h"
#include "machine/automate.h"
#include "machine/machinecontrol.h"
#include "payment/etatpaiement.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/pointarret.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "rapportexploitant.h"
#include "reporting/email.h"
#include "reporting/envoyeremail.h"
#include "startup/ecrans.h"
#include "startup/erreur.h"
#include "startup/etatdemarrage.h"
#include "startup/fnkestrel.h"
#include "startup/fonctionutilitaires.h"
#include "startup/journal.h"
#include "startup/storedatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <array>

namespace Movendi::Sale {

using Startup::etat;
using Startup::JournaliserErreur;

namespace {

const QString contexteStock = QStringLiteral("MiseAJourStock");
const QString contextePilotage = QStringLiteral("PiloterAutomate");
const QString sujetPanne = QStringLiteral("Rapport de panne DA Telephone mobile");

const QColor cyan(0, 255, 255);
const QColor olive(192, 192, 0);
const QColor jauneClair(255, 255, 128);

constexpr qint64 DureeAttenteClientMs = 30000;
constexpr int PassageBouton = 12;

QString cheminPorte()
{
    return QDir(Startup::DossierEchange()).filePath(QStringLiteral("porte.ini"));
}

// A value in units of 10^-decimales as plain decimal text with the regional comma and no
// trailing zeros: 199,9 or 10.
QString texteDecimal(std::int64_t valeur, int decimales)
{
    std::int64_t echelle = 1;
    for (int i = 0; i < decimales; ++i)
        echelle *= 10;
    const bool negatif = valeur < 0;
    const std::int64_t absolu = negatif ? -valeur : valeur;
    QString texte = QString::number(absolu / echelle);
    QString fraction = QStringLiteral("%1").arg(absolu % echelle, decimales, 10, QLatin1Char('0'));
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (!fraction.isEmpty())
        texte += QLatin1Char(',') + fraction;
    return negatif ? QLatin1Char('-') + texte : texte;
}

QString descriptionArticle(int k)
{
    const EtatVente &vente = etatVente();
    if (k == 1)
        return QString::number(vente.ReferenceArticle) + QStringLiteral(" Prix: ") +
               texteDecimal(vente.PrixArticle.unites(), 4) + QStringLiteral(" Design: ") +
               vente.DesignationArticle;
    return QString::number(vente.LigneRecharge.ReferenceRecharge) +
           QStringLiteral(" Recharge de ") +
           texteDecimal(vente.LigneRecharge.PrixRechargeCentimes, 2) + QStringLiteral(" €");
}

void envoyerRapportMecanique(std::int32_t code)
{
    const QString corps = enteteRapport() + QStringLiteral("Probleme mécanique, Erreur automate ") +
                          QString::number(code);
    Reporting::Email *email = Reporting::email1();
    // Attached only when the mechanism side wrote it: a missing file would stop the mail.
    const QString dossier = Startup::DossierEchange();
    const bool avecRapport = email && Startup::FichierExiste(dossier, QStringLiteral("panne.txt"));
    const QString panne = Platform::resolveFileNoCase(dossier, QStringLiteral("panne.txt"));
    if (avecRapport) {
        email->PieceJointeAjout(panne);
        email->PieceJointeSuppr(panne);
        email->PieceJointeAjout(panne);
    }
    Reporting::EnvoyerEmail(sujetPanne, corps);
    if (avecRapport)
        email->PieceJointeSuppr(panne);
}

void envoyerRapportPorte()
{
    envoyerRapportExploitant(sujetPanne, QStringLiteral("la trappe ne c'est pas ouverte"));
}

// "NON" before a door opens, so that only the mechanism's own "OUI" can say it was reached.
// Journalled, never a box: nothing may stop a delivery half-way.
bool marquerPorteFermee()
{
    QString raison;
    if (Platform::writeProfileString(cheminPorte(), QStringLiteral("Porte"),
                                     QStringLiteral("Ouverte"), QStringLiteral("NON"), &raison))
        return true;
    JournaliserErreur(contextePilotage,
                      QStringLiteral("état de porte impossible à écrire: ") + raison);
    return false;
}

// The item is not charged: the amount keeps only what may still be delivered.
void retirerDuMontant(int k)
{
    EtatVente &vente = etatVente();
    qint64 &montant = Payment::etatPaiement().PaymentAmountCents;
    vente.EchecDistribution = true;
    if (k == 1) {
        montant = vente.LigneRecharge.ReferenceRecharge != 0
                      ? vente.LigneRecharge.PrixRechargeCentimes
                      : 0;
    } else {
        montant -= vente.LigneRecharge.PrixRechargeCentimes;
        vente.LigneRecharge.RechargeAServir = false;
    }
}

void debiterLivre(FrmPayment &ecran)
{
    const qint64 centimes = Payment::etatPaiement().PaymentAmountCents;
    etat().MontantAPayer =
        centimes == 0 ? Startup::Monnaie() : Startup::Monnaie::depuisCentimes(centimes);
    ecran.DebiterMontant();
}

} // namespace

bool porteOuverte()
{
    const QString chemin = cheminPorte();
    if (!QFileInfo::exists(chemin)) {
        JournaliserErreur(contexteStock, QStringLiteral("état de porte absent: ") + chemin);
        return false;
    }
    const Platform::ProfileValue lu =
        Platform::readProfileString(chemin, QStringLiteral("Porte"), QStringLiteral("Ouverte"));
    switch (lu.status) {
    case Platform::ProfileStatus::Found:
        return lu.value.trimmed() == QLatin1String("OUI");
    case Platform::ProfileStatus::Absent:
        return true;
    case Platform::ProfileStatus::Unreadable:
        break;
    }
    JournaliserErreur(contexteStock, QStringLiteral("état de porte illisible: ") + chemin);
    return false;
}

bool MiseAJourStock(FrmPayment &ecran)
{
    EtatVente &vente = etatVente();
    const QColor couleurLabel = FrmPayment::couleurFond(ecran.LabelChoisisser());
    bool unLivre = false;
    // Per item: whether its fate is known (delivered or taken off the amount).
    std::array<bool, 3> regle{true, false, true};
    bool debite = false;
    int n = 1;
    auto terminer = [&] {
        FrmPayment::definirCouleurFond(ecran.LabelChoisisser(), couleurLabel);
        ecran.MonnaieDispo()->setVisible(false);
        Startup::RelancerRetourAutomatique();
    };
    try {
        vente.ArticleServi = ArticleDistribue{};
        vente.RechargeServie = ArticleDistribue{};
        vente.EchecDistribution = false;
        if (Startup::ecrans())
            Startup::ecrans()->arreterAnimation();
        Startup::ArreterRetourAutomatique();

        n = vente.LigneRecharge.ReferenceRecharge != 0 ? 2 : 1;
        regle[2] = n < 2;
        vente.LigneRecharge.RechargeAServir = true;
        Startup::StoreDatabase &base = ecran.base();
        const Startup::TableMessages &msg = etat().Messages;

        JournalVente &journal = ecran.journalVente();
        // An item that did not reach the customer: not charged, journalled.
        auto nonLivre = [&](int k, int noEmpl, const QString &texte) {
            retirerDuMontant(k);
            regle[k] = true;
            journal.article(base, k, false, noEmpl, {});
            JournaliserErreur(contexteStock, texte + descriptionArticle(k));
        };
        for (int k = 1; k <= n; ++k) {
            journal.commencerArticle(k);
            const std::int32_t reference =
                k == 1 ? etat().ReferenceChoisie : vente.LigneRecharge.ReferenceRecharge;
            const Startup::ResultatRequete ligne = base.lire(
                QStringLiteral("SELECT NoEmpl, Etage, IMEI, NoSIM, NoCommande, EAN13 FROM "
                               "EmplacementsMachine1 WHERE Reference = ? ORDER BY NoEmpl LIMIT 1"),
                {reference});
            if (ligne.estVide()) {
                nonLivre(k, 0, QStringLiteral("Erreur automate à la distribution Ref: "));
                continue;
            }

            FrmPayment::definirCouleurFond(ecran.LabelChoisisser(), cyan);
            ecran.LabelChoisisser()->setText(QString::number(n) + msg.MsgArticlesADistribuer);
            ecran.MonnaieDispo()->setText(msg.MsgDistributionEnCours);
            ecran.MonnaieDispo()->setVisible(true);
            ecran.rafraichir();
            const QVariant noEmpl = ligne.valeur(0, QStringLiteral("NoEmpl"));
            const std::int32_t code =
                PiloterAutomate(ecran, Machine::DrumUnit, noEmpl.toInt(), Machine::DrumSpeed,
                                ligne.valeur(0, QStringLiteral("Etage")).toInt());
            if (code == EtatPorteNonEcrit) {
                nonLivre(k, noEmpl.toInt(),
                         QStringLiteral("Erreur état de porte, pas de distribution Ref: "));
                continue;
            }
            if (code == 0) {
                unLivre = true;
            } else {
                JournaliserErreur(contexteStock, QStringLiteral("Erreur automate ") +
                                                     QString::number(code) +
                                                     QStringLiteral(" distribution Ref: ") +
                                                     descriptionArticle(k));
                envoyerRapportMecanique(code);
            }

            if (porteOuverte()) {
                // The customer could reach it: charged, served and its location emptied,
                // whatever a later call (closing the door) answered.
                regle[k] = true;
                const ArticleDistribue servi = contenuEmplacement(ligne);
                (k == 1 ? vente.ArticleServi : vente.RechargeServie) = servi;
                journal.article(base, k, true, noEmpl.toInt(), servi);
                continue;
            }
            envoyerRapportPorte();
            nonLivre(k, noEmpl.toInt(), QStringLiteral("Erreur automate porte pas ouverte Ref: "));
        }

        debite = true;
        debiterLivre(ecran);
        terminer();
    } catch (const Startup::ErreurExecution &erreur) {
        Startup::SignalerErreur(contexteStock, erreur);
        // What was delivered before the failure is still debited; the rest is not charged.
        for (int k = 1; k <= 2; ++k) {
            if (!regle[k])
                retirerDuMontant(k);
        }
        if (!debite)
            debiterLivre(ecran);
        terminer();
    }
    return unLivre;
}

std::int32_t PiloterAutomate(FrmPayment &ecran, std::int32_t machine, std::int32_t position,
                             std::int32_t mode, std::int32_t niveau)
{
    std::int32_t code = 0;
    const Startup::TableMessages &msg = etat().Messages;
    Machine::MachineControl &automate = Machine::automate();
    QPushButton *bouton = ecran.CmdTicketFermPorte();
    auto journaliserCode = [&] {
        JournaliserErreur(contextePilotage,
                          QStringLiteral("Erreur grafcet: ") + QString::number(code));
    };
    auto afficher = [&](const QString &texte) {
        ecran.MonnaieDispo()->setText(texte);
        ecran.rafraichir();
    };
    auto finir = [&] {
        bouton->setVisible(false);
        FrmPayment::definirCouleurFond(bouton, olive);
        ecran.Picture2()->setVisible(false);
        ecran.Picture1()->setVisible(false);
    };
    try {
        ecran.Montant()->setVisible(false);
        ecran.MonnaieDispo()->setText(msg.MsgDistributionEnCours);
        const QString dossier = etat().dossierApplication;
        const QString image = QStringLiteral("Etage%1.jpg").arg(niveau);
        if (Startup::FichierExiste(dossier, image)) {
            ecran.Picture1()->setPixmap(QPixmap(Platform::resolveFileNoCase(dossier, image)));
            ecran.Picture1()->setVisible(true);
        }
        ecran.rafraichir();

        Platform::pointArret("mécanisme: InitMotor");
        code = automate.InitMotor();
        if (!marquerPorteFermee()) {
            // A stale "OUI" would charge an item nobody could reach: no door opens.
            afficher(msg.MsgEchecDistribution);
            finir();
            return EtatPorteNonEcrit;
        }
        if (code != 0)
            journaliserCode();
        // Only "OUI" from the mechanism can now say the customer reached it.
        ecran.journalVente().porteVaSOuvrir(ecran.base(), position);

        Platform::pointArret("mécanisme: DrumPosition");
        code = automate.DrumPosition(machine, position, mode);
        if (code != 0) {
            afficher(msg.MsgEchecDistribution);
            journaliserCode();
            finir();
            return code;
        }

        afficher(msg.MsgPrenezProduit);
        Platform::pointArret("mécanisme: OpenDoor");
        code = automate.OpenDoor(machine, position, mode);
        if (code != 0) {
            // The door state, not this code, decides whether the item was reachable.
            afficher(msg.MsgEchecDistribution);
            journaliserCode();
        }

        Platform::Clock &horloge = Platform::clock();
        ecran.FermetureDemandee = false;
        const qint64 debut = horloge.monotonicMs();
        for (int passage = 1;; ++passage) {
            if (passage == PassageBouton)
                bouton->setVisible(true);
            horloge.processEventsFor(0);
            if (horloge.monotonicMs() - debut >= DureeAttenteClientMs)
                break;
            const bool impair = passage % 2 == 1;
            ecran.Picture2()->setVisible(impair);
            ecran.Picture1()->setVisible(!impair);
            FrmPayment::definirCouleurFond(bouton, impair ? olive : jauneClair);
            Startup::AttendreInterruptible(0.1);
            if (ecran.FermetureDemandee)
                break;
        }

        afficher(msg.MsgPatientez);
        Platform::pointArret("mécanisme: CloseDoor");
        code = automate.CloseDoor(machine, position, mode);
        finir();
    } catch (const Startup::ErreurExecution &erreur) {
        Startup::SignalerErreur(contextePilotage, erreur);
    }
    return code;
}

} // namespace Movendi::Sale
