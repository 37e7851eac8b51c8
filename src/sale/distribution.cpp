#include "sale/distribution.h"

#include "config/fnkestrel.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "machine/automate.h"
#include "machine/machinecontrol.h"
#include "mail/email.h"
#include "payment/pontagetpvnew.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/pointarret.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "reporting/envoyeremail.h"
#include "sale/affichagevente.h"
#include "sale/etatvente.h"
#include "sale/journalvente.h"
#include "sale/postevente.h"
#include "sale/rapportexploitant.h"
#include "sale/vente.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <QDir>
#include <QFileInfo>

#include <array>

namespace Movendi::Sale {

using Journal::JournaliserErreur;
using State::etat;

namespace {

const QString contexteStock = QStringLiteral("MiseAJourStock");
const QString contextePilotage = QStringLiteral("PiloterAutomate");
const QString sujetPanne = QStringLiteral("Rapport de panne DA Telephone mobile");

constexpr qint64 DureeAttenteClientMs = 30000;
constexpr int PassageBouton = 12;

QString cheminPorte()
{
    return QDir(Utilities::DossierEchange()).filePath(QStringLiteral("porte.ini"));
}

QString descriptionArticle(const EtatVente &vente, int k)
{
    if (k == 1)
        return QString::number(vente.ReferenceArticle) + QStringLiteral(" Prix: ") +
               vente.PrixArticle.texteExact() + QStringLiteral(" Design: ") +
               vente.DesignationArticle;
    return QString::number(vente.LigneRecharge.ReferenceRecharge) +
           QStringLiteral(" Recharge de ") +
           Money::Monnaie::depuisCentimes(vente.LigneRecharge.PrixRechargeCentimes).texteExact() +
           QStringLiteral(" €");
}

void envoyerRapportMecanique(std::int32_t code)
{
    const QString corps = enteteRapport() + QStringLiteral("Probleme mécanique, Erreur automate ") +
                          QString::number(code);
    Mail::Email *email = Reporting::email1();
    // Attached only when the mechanism side wrote it: a missing file would stop the mail.
    const QString dossier = Utilities::DossierEchange();
    const bool avecRapport =
        email && Utilities::FichierExiste(dossier, QStringLiteral("panne.txt"));
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
void retirerDuMontant(EtatVente &vente, int k)
{
    const Money::Monnaie prixRecharge =
        Money::Monnaie::depuisCentimes(vente.LigneRecharge.PrixRechargeCentimes);
    vente.EchecDistribution = true;
    if (k == 1) {
        vente.MontantAPayer =
            vente.LigneRecharge.ReferenceRecharge != 0 ? prixRecharge : Money::Monnaie();
    } else {
        vente.MontantAPayer -= prixRecharge;
        vente.LigneRecharge.RechargeAServir = false;
    }
}

// What was delivered is debited; the shared amount says what the sale came to.
void debiterLivre(Vente &vente)
{
    etat().MontantAPayer = vente.etat().MontantAPayer;
    vente.DebiterMontant();
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

bool MiseAJourStock(Vente &contexte)
{
    EtatVente &vente = contexte.etat();
    AffichageVente &ecran = contexte.affichage();
    bool unLivre = false;
    // Per item: whether its fate is known (delivered or taken off the amount).
    std::array<bool, 3> regle{true, false, true};
    bool debite = false;
    int n = 1;
    auto terminer = [&] {
        ecran.mettreEnEvidenceConsigne(false);
        ecran.montrerInvite(false);
        State::RelancerRetourAutomatique();
    };
    try {
        vente.ArticleServi = ArticleDistribue{};
        vente.RechargeServie = ArticleDistribue{};
        vente.EchecDistribution = false;
        if (State::ecrans())
            State::ecrans()->arreterAnimation();
        State::ArreterRetourAutomatique();

        n = vente.LigneRecharge.ReferenceRecharge != 0 ? 2 : 1;
        regle[2] = n < 2;
        vente.LigneRecharge.RechargeAServir = true;
        Store::StoreDatabase &base = contexte.base();
        const State::TableMessages &msg = etat().Messages;

        JournalVente &journal = contexte.journalVente();
        // An item that did not reach the customer: not charged, journalled.
        auto nonLivre = [&](int k, int noEmpl, const QString &texte) {
            retirerDuMontant(vente, k);
            regle[k] = true;
            journal.article(base, k, false, noEmpl, {});
            JournaliserErreur(contexteStock, texte + descriptionArticle(vente, k));
        };
        for (int k = 1; k <= n; ++k) {
            journal.commencerArticle(k);
            // A journal the store no longer takes opens no further door.
            if (journal.enRetard()) {
                nonLivre(k, 0,
                         QStringLiteral("Erreur journal de vente non écrit, pas de "
                                        "distribution Ref: "));
                continue;
            }
            const std::int32_t reference =
                k == 1 ? vente.ReferenceChoisie : vente.LigneRecharge.ReferenceRecharge;
            const Store::ResultatRequete ligne = base.lire(
                QStringLiteral("SELECT NoEmpl, Etage, IMEI, NoSIM, NoCommande, EAN13 FROM "
                               "EmplacementsMachine1 WHERE Reference = ? ORDER BY NoEmpl LIMIT 1"),
                {reference});
            if (ligne.estVide()) {
                nonLivre(k, 0, QStringLiteral("Erreur automate à la distribution Ref: "));
                continue;
            }

            ecran.mettreEnEvidenceConsigne(true);
            ecran.afficherConsigne(QString::number(n) + msg.MsgArticlesADistribuer);
            ecran.afficherInvite(msg.MsgDistributionEnCours);
            ecran.montrerInvite(true);
            ecran.rafraichir();
            const QVariant noEmpl = ligne.valeur(0, QStringLiteral("NoEmpl"));
            const std::int32_t code =
                PiloterAutomate(contexte, Machine::DrumUnit, noEmpl.toInt(), Machine::DrumSpeed,
                                ligne.valeur(0, QStringLiteral("Etage")).toInt());
            if (code == EtatPorteNonEcrit || code == JournalNonEcrit) {
                nonLivre(k, noEmpl.toInt(),
                         code == EtatPorteNonEcrit
                             ? QStringLiteral("Erreur état de porte, pas de distribution Ref: ")
                             : QStringLiteral("Erreur journal de vente non écrit, pas de "
                                              "distribution Ref: "));
                continue;
            }
            if (code == 0) {
                unLivre = true;
            } else {
                JournaliserErreur(contexteStock, QStringLiteral("Erreur automate ") +
                                                     QString::number(code) +
                                                     QStringLiteral(" distribution Ref: ") +
                                                     descriptionArticle(vente, k));
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
        debiterLivre(contexte);
        terminer();
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(contexteStock, erreur);
        // What was delivered before the failure is still debited; the rest is not charged.
        for (int k = 1; k <= 2; ++k) {
            if (!regle[k])
                retirerDuMontant(vente, k);
        }
        if (!debite)
            debiterLivre(contexte);
        terminer();
    }
    return unLivre;
}

std::int32_t PiloterAutomate(Vente &contexte, std::int32_t machine, std::int32_t position,
                             std::int32_t mode, std::int32_t niveau)
{
    std::int32_t code = 0;
    const State::TableMessages &msg = etat().Messages;
    Machine::MachineControl &automate = contexte.poste().automate();
    AffichageVente &ecran = contexte.affichage();
    auto journaliserCode = [&] {
        JournaliserErreur(contextePilotage,
                          QStringLiteral("Erreur grafcet: ") + QString::number(code));
    };
    auto afficher = [&](const QString &texte) {
        ecran.afficherInvite(texte);
        ecran.rafraichir();
    };
    auto finir = [&] {
        ecran.montrerBoutonFermeture(false);
        ecran.cacherImages();
    };
    try {
        ecran.montrerMontant(false);
        ecran.afficherInvite(msg.MsgDistributionEnCours);
        const QString dossier = etat().dossierApplication;
        const QString image = QStringLiteral("Etage%1.jpg").arg(niveau);
        if (Utilities::FichierExiste(dossier, image))
            ecran.afficherImageEtage(Platform::resolveFileNoCase(dossier, image));
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
        // Only "OUI" from the mechanism can now say the customer reached it. No door opens
        // before the sale's journal says it will.
        if (!contexte.journalVente().porteVaSOuvrir(contexte.base(), position)) {
            afficher(msg.MsgEchecDistribution);
            finir();
            return JournalNonEcrit;
        }

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

        Platform::Clock &horloge = contexte.poste().horloge();
        ecran.oublierFermetureDemandee();
        const qint64 debut = horloge.monotonicMs();
        for (int passage = 1;; ++passage) {
            if (passage == PassageBouton)
                ecran.montrerBoutonFermeture(true);
            horloge.processEventsFor(0);
            if (horloge.monotonicMs() - debut >= DureeAttenteClientMs)
                break;
            const bool impair = passage % 2 == 1;
            ecran.alternerImages(impair);
            Utilities::AttendreInterruptible(0.1);
            if (ecran.fermetureDemandee())
                break;
        }

        afficher(msg.MsgPatientez);
        Platform::pointArret("mécanisme: CloseDoor");
        code = automate.CloseDoor(machine, position, mode);
        finir();
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(contextePilotage, erreur);
    }
    return code;
}

} // namespace Movendi::Sale
