#include "sale/reprisevente.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "payment/pontagetpvnew.h"
#include "payment/resultatstpe.h"
#include "sale/affichagevente.h"
#include "sale/distribution.h"
#include "sale/enregistrement.h"
#include "sale/etatvente.h"
#include "sale/journalvente.h"
#include "sale/postevente.h"
#include "sale/rapportexploitant.h"
#include "sale/ticketclient.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <QStringList>

namespace Movendi::Sale {

using Store::StoreDatabase;

namespace {

const QString contexteReprise = QStringLiteral("Reprise vente");
const QString sujet = QStringLiteral("Reprise de vente DA Telephone mobile");

// No start-up may loop on a journal it cannot close.
constexpr int MaxVentesReprises = 20;

void rapporter(const VenteInterrompue &vente, const QStringList &faits)
{
    const QString texte =
        QStringLiteral("vente interrompue %1 (étape \"%2\"): ").arg(vente.id).arg(vente.etape) +
        faits.join(QStringLiteral("; "));
    Journal::JournaliserErreur(contexteReprise, texte);
    envoyerRapportExploitant(sujet, texte);
}

QString texteCentimes(qint64 centimes)
{
    return texteMontantTicket(Money::Monnaie::depuisCentimes(centimes)) + QStringLiteral(" EUR");
}

// The identifiers of what a location still holds, before it is emptied.
ArticleDistribue contenu(StoreDatabase &base, int noEmpl)
{
    return contenuEmplacement(base.lire(QStringLiteral("SELECT IMEI, NoSIM, NoCommande, EAN13 FROM "
                                                       "EmplacementsMachine1 WHERE NoEmpl = ?"),
                                        {noEmpl}));
}

// The sale's state as the recording reads it, from the journal.
void retablirVente(EtatVente &v, const VenteInterrompue &vente, const std::array<bool, 2> &livre)
{
    if (!vente.langue.isEmpty())
        State::etat().Langue = vente.langue;
    v.ReferenceChoisie = vente.refArticle;
    v.ReferenceArticle = vente.refArticle;
    v.LigneRecharge.ReferenceRecharge = vente.refRecharge;
    v.LigneRecharge.PrixRechargeCentimes = vente.prixRechargeCentimes;
    v.LigneRecharge.RechargeAServir = vente.refRecharge != 0 && livre[1];
    v.ArticleServi = livre[0] ? vente.articles[0].servi : ArticleDistribue{};
    v.RechargeServie = livre[1] ? vente.articles[1].servi : ArticleDistribue{};
    v.EchecDistribution = !livre[0] || (vente.refRecharge != 0 && !livre[1]);
}

// False when the store refused a step: the journal stays for the next try.
bool reprendre(PosteVente &poste, StoreDatabase &base, VenteInterrompue vente)
{
    JournalVente &journal = poste.journalVente();
    // The journal this kiosk still holds knows more than the store when it fell behind.
    if (journal.ouvert() && journal.vente().id == vente.id) {
        if (!journal.rattraper(base))
            return false;
    } else {
        journal.reprendre(vente);
    }
    QStringList faits;
    if (vente.numVente != 0) {
        faits << QStringLiteral("vente %1 déjà enregistrée, ticket non remis").arg(vente.numVente);
        const bool close = journal.cloturer(base, QStringLiteral("reprise: deja enregistree"));
        rapporter(vente, faits);
        return close;
    }

    // What the customer could reach: a door left about to open is settled by the door state.
    std::array<bool, 2> livre{false, false};
    const int n = vente.refRecharge != 0 ? 2 : 1;
    for (int k = 1; k <= n; ++k) {
        ArticleJournal &a = vente.articles[k - 1];
        if (a.etat == ArticleJournal::PorteVaSOuvrir) {
            const bool atteint = porteOuverte();
            if (atteint)
                a.servi = contenu(base, a.noEmpl);
            journal.commencerArticle(k);
            if (!journal.article(base, k, atteint, a.noEmpl, a.servi))
                return false;
            a.etat = atteint ? ArticleJournal::Atteint : ArticleJournal::NonLivre;
            faits << QStringLiteral("article %1 %2 (porte de l'emplacement %3)")
                         .arg(k)
                         .arg(atteint ? QStringLiteral("atteint, emplacement vidé")
                                      : QStringLiteral("non atteint"))
                         .arg(a.noEmpl);
        }
        livre[k - 1] = a.etat == ArticleJournal::Atteint;
    }
    const qint64 prixArticle = vente.montantAutoriseCentimes - vente.prixRechargeCentimes;
    qint64 montant =
        (livre[0] ? prixArticle : 0) + (n == 2 && livre[1] ? vente.prixRechargeCentimes : 0);

    Payment::EtatPaiement &paiement = poste.terminal().etat();
    paiement.reinitialiserTransaction();
    EtatVente reprise;
    try {
        reprise.InfoSociete = lireInfoSociete(base);
    } catch (const Journal::ErreurExecution &) {
        // The ticket kept with the sale goes without the shop's address: not a reason to
        // leave the sale unsettled.
    }
    StatutDebit statut = StatutDebit::Debite;
    if (vente.debitEnvoye) {
        montant = vente.montantDebitCentimes.value_or(montant);
        reprise.MontantAPayer = Money::Monnaie::depuisCentimes(montant);
        paiement.PaymentAmountCents = montant;
        if (vente.resultatDebit) {
            // Answered before the cut: recorded as it was answered.
            paiement.CardNumber = vente.noCarte;
            paiement.RemittanceNumber = vente.noRemise;
            paiement.CustomerTicketText = vente.ticketClient;
            paiement.MerchantTicketText = vente.ticketCommercant;
            reprise.ResultatDebit = vente.resultatDebit;
            statut = statutDebitVente(reprise, paiement);
            faits << QStringLiteral("débit de %1 répondu %2 avant la coupure")
                         .arg(texteCentimes(montant))
                         .arg(*vente.resultatDebit);
        } else {
            // Sent, its answer lost: sending it again could debit twice.
            statut = montant > 0 ? StatutDebit::AVerifier : StatutDebit::Debite;
            faits << QStringLiteral("débit de %1 envoyé sans réponse: à vérifier sur la "
                                    "télécollecte, pas renvoyé")
                         .arg(texteCentimes(montant));
        }
    } else if (montant > 0) {
        // Delivered and authorised: the debit completes the authorisation, once.
        reprise.MontantAPayer = Money::Monnaie::depuisCentimes(montant);
        const int resultat = poste.debiter(reprise);
        if (resultat == DebitNonEnvoye)
            return false;
        statut = statutDebitVente(reprise, paiement);
        faits << QStringLiteral("débit de %1 envoyé à la reprise: résultat %2")
                     .arg(texteCentimes(montant))
                     .arg(resultat);
    } else {
        faits << QStringLiteral("rien de livré: close sans débit");
        const bool close = journal.cloturer(base, QStringLiteral("reprise: rien de livre"));
        rapporter(vente, faits);
        return close;
    }

    retablirVente(reprise, vente, livre);
    const qint64 numero = enregistrerVente(base, journal, reprise, paiement, statut, true);
    const bool close = journal.cloturer(base, QStringLiteral("reprise: enregistree"));
    faits << QStringLiteral("enregistrée sous le numéro %1%2")
                 .arg(numero)
                 .arg(statut == StatutDebit::Debite      ? QString()
                      : statut == StatutDebit::NonDebite ? QStringLiteral(", non débitée")
                                                         : QStringLiteral(", débit à vérifier"));
    rapporter(vente, faits);
    return close;
}

} // namespace

bool reprendreVentesInterrompues(PosteVente &poste)
{
    bool regle = false;
    try {
        StoreDatabase &base = poste.base();
        // A journal this kiosk holds that the store lacks altogether is written first.
        if (!poste.journalVente().rattraper(base))
            throw Journal::ErreurExecution(StoreDatabase::ErreurRequete,
                                           QStringLiteral("journal de vente non écrit"));
        for (int i = 0; i < MaxVentesReprises; ++i) {
            const std::optional<VenteInterrompue> vente = JournalVente::enCours(base);
            if (!vente) {
                regle = true;
                break;
            }
            // A journal that could not be closed would come back for ever.
            if (!reprendre(poste, base, *vente))
                break;
            const std::optional<VenteInterrompue> encore = JournalVente::enCours(base);
            if (encore && encore->id == vente->id)
                break;
        }
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(contexteReprise, erreur);
    }
    // The next customer starts from nothing.
    poste.terminal().etat().reinitialiserTransaction();
    return regle;
}

} // namespace Movendi::Sale
