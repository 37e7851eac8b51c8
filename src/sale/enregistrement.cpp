#include "sale/enregistrement.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "payment/pontagetpvnew.h"
#include "payment/resultatstpe.h"
#include "platform/clock.h"
#include "platform/pointarret.h"
#include "platform/seams.h"
#include "sale/affichagevente.h"
#include "sale/etatvente.h"
#include "sale/journalvente.h"
#include "sale/postevente.h"
#include "sale/rapportexploitant.h"
#include "sale/ticketclient.h"
#include "sale/vente.h"
#include "state/etatdemarrage.h"
#include "store/boiteenvoi.h"
#include "store/conversions.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <exception>

namespace Movendi::Sale {

using Journal::ErreurExecution;
using Money::Monnaie;
using Store::ConvertNullStr;
using Store::StoreDatabase;

namespace {

constexpr int FamilleTelephone = 1;
constexpr int FamilleRecharge = 2;

// The columns this routine reads and writes, checked first: a table or column missing fails
// before anything is written.
void ouvrirTables(StoreDatabase &base)
{
    base.lire(QStringLiteral(
        "SELECT Reference, Designation, DesignationEN, prix, EcoTaxe, Famille FROM StockGlobal "
        "LIMIT 0"));
    base.lire(QStringLiteral("SELECT NumVente, LaDate, DateTelecollecte, NoCBClient, IdentMachine, "
                             "NoRemiseTelecollecte, Ticket, StatutDebit, Reprise FROM Ventes "
                             "LIMIT 0"));
    base.lire(QStringLiteral(
        "SELECT NoVente, Montant, EcoTaxe, Quantite, NoFamille, NoSIM, NoIMEI, EAN13recharge, "
        "NoSerieRecharge, NoCommande, Designation, RefProduit, TVA FROM DetailVente LIMIT 0"));
}

QVariant texteNul()
{
    return QVariant(QMetaType(QMetaType::QString));
}

// The rate in percent as stored, without the binary noise of 0.196 x 100.
double pourcentTVA(double taux)
{
    return QString::number(taux * 100.0, 'g', 15).toDouble();
}

// One item of the basket: its DetailVente row and its two ticket lines; nothing when the
// catalogue has no such reference.
void enregistrerArticle(StoreDatabase &base, EtatVente &vente, qint64 numeroVente,
                        std::int32_t reference, const ArticleDistribue &servi, bool recharge)
{
    const State::EtatDemarrage &e = State::etat();
    const Store::ResultatRequete ligne = base.lire(
        QStringLiteral("SELECT Reference, Designation, DesignationEN, prix, EcoTaxe, Famille "
                       "FROM StockGlobal WHERE Reference = ? ORDER BY Reference LIMIT 1"),
        {reference});
    if (ligne.estVide())
        return;
    const QVariant prix = ligne.valeur(0, QStringLiteral("prix"));
    const int famille = ligne.valeur(0, QStringLiteral("Famille")).toInt();
    const QString designation = ConvertNullStr(ligne.valeur(0, QStringLiteral("Designation")));

    QVariant noSim = texteNul(), noImei = texteNul(), ean13 = texteNul(), serie = texteNul();
    if (famille == FamilleTelephone) {
        noSim = servi.NoSIM;
        noImei = servi.IMEI;
    } else if (famille == FamilleRecharge) {
        ean13 = servi.EAN13;
        serie = servi.NoSIM;
    }
    base.inserer(
        QStringLiteral("INSERT INTO DetailVente (NoVente, Montant, EcoTaxe, Quantite, NoFamille, "
                       "NoSIM, NoIMEI, EAN13recharge, NoSerieRecharge, NoCommande, Designation, "
                       "RefProduit, TVA) VALUES (?, ?, ?, 1, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {numeroVente, prix.isNull() ? QVariant(QMetaType(QMetaType::LongLong)) : prix,
         ligne.valeur(0, QStringLiteral("EcoTaxe")), famille, noSim, noImei, ean13, serie,
         servi.NoCommande, designation, ligne.valeur(0, QStringLiteral("Reference")),
         pourcentTVA(e.TauxTVA)});

    const QString nom = e.Langue == QLatin1String("FR")
                            ? designation
                            : ConvertNullStr(ligne.valeur(0, QStringLiteral("DesignationEN")));
    for (const QString &l : lignesArticleTicket(designationTicket(nom, recharge),
                                                StoreDatabase::monnaie(prix), e.Messages))
        AjoutLigneTicket(vente, l);
}

qint64 enregistrerDansTransaction(StoreDatabase &base, JournalVente &journal, EtatVente &vente,
                                  const Payment::EtatPaiement &paiement, StatutDebit statut,
                                  bool reprise)
{
    const State::EtatDemarrage &e = State::etat();

    const QDateTime maintenant = Platform::clock().now();
    const qint64 numeroVente = base.inserer(
        QStringLiteral("INSERT INTO Ventes (LaDate, DateTelecollecte, NoCBClient, IdentMachine, "
                       "NoRemiseTelecollecte, StatutDebit, Reprise) VALUES (?, ?, ?, ?, ?, ?, ?)"),
        {StoreDatabase::versBase(maintenant), StoreDatabase::jourVersBase(maintenant.date()),
         paiement.CardNumber, e.IdentiteMachine, paiement.RemittanceNumber, int(statut),
         reprise ? 1 : 0});
    vente.TicketText.clear();

    for (const QString &l : lignesEnTeteTicket(vente.InfoSociete, maintenant, e.IdentiteMachine,
                                               numeroVente, e.Messages))
        AjoutLigneTicket(vente, l);

    enregistrerArticle(base, vente, numeroVente, vente.ReferenceChoisie, vente.ArticleServi, false);
    if (vente.LigneRecharge.ReferenceRecharge != 0)
        enregistrerArticle(base, vente, numeroVente, vente.LigneRecharge.ReferenceRecharge,
                           vente.RechargeServie, true);

    PiedTicket pied;
    pied.montantAPayer = vente.MontantAPayer;
    pied.tauxTVA = e.TauxTVA;
    pied.echecDistribution = vente.EchecDistribution;
    pied.rechargeAServir = vente.LigneRecharge.RechargeAServir;
    pied.prixRechargeCentimes = vente.LigneRecharge.PrixRechargeCentimes;
    pied.debitNonEffectue = statut != StatutDebit::Debite;
    pied.tel = vente.InfoSociete.Tel;
    for (const QString &l : lignesPiedTicket(pied, e.Messages))
        AjoutLigneTicket(vente, l);

    const QString ticket = vente.TicketText + QString(43, QLatin1Char('.')) +
                           QStringLiteral("\r\n") + paiement.MerchantTicketText;
    if (base.executer(QStringLiteral("UPDATE Ventes SET Ticket = ? WHERE NumVente = ?"),
                      {ticket, numeroVente}) != 1)
        throw ErreurExecution(StoreDatabase::ErreurRequete,
                              QStringLiteral("vente %1 introuvable").arg(numeroVente));
    journal.enregistree(base, numeroVente);
    Store::ajouterEvenementVente(base, numeroVente, paiement.PaymentAmountCents);
    return numeroVente;
}

// What the operator and the journal are told of a sale whose card was not debited.
void signalerNonDebitee(const EtatVente &vente, qint64 numeroVente)
{
    const std::optional<int> resultat = vente.ResultatDebit;
    const QString texte =
        QStringLiteral("vente %1 enregistrée non débitée: débit de %2 EUR, résultat %3")
            .arg(numeroVente)
            .arg(texteMontantTicket(vente.MontantAPayer))
            .arg(resultat ? QString::number(*resultat) : QStringLiteral("aucun"));
    Journal::JournaliserErreur(QStringLiteral("EnregistrerCommande"), texte);
    envoyerRapportExploitant(QStringLiteral("Vente non debitee DA Telephone mobile"), texte);
}

} // namespace

InfoSocieteVente lireInfoSociete(StoreDatabase &base)
{
    const auto info =
        base.lire(QStringLiteral("SELECT Nom, Adresse, Ville, CodePostal, Tel, Fax FROM "
                                 "InfoSociete ORDER BY Id LIMIT 1"));
    if (info.estVide())
        return {};
    const QVariantList &l = info.lignes.at(0);
    return {ConvertNullStr(l.at(0)), ConvertNullStr(l.at(1)), ConvertNullStr(l.at(2)),
            ConvertNullStr(l.at(3)), ConvertNullStr(l.at(4)), ConvertNullStr(l.at(5))};
}

StatutDebit statutDebitVente(const EtatVente &vente, const Payment::EtatPaiement &paiement)
{
    const std::optional<int> resultat = vente.ResultatDebit;
    const bool quelqueChoseADebiter = paiement.PaymentAmountCents > 0;
    return resultat && *resultat != Payment::Resultat::Ok && quelqueChoseADebiter
               ? StatutDebit::NonDebite
               : StatutDebit::Debite;
}

qint64 enregistrerVente(StoreDatabase &base, JournalVente &journal, EtatVente &vente,
                        const Payment::EtatPaiement &paiement, StatutDebit statut, bool reprise)
{
    Platform::pointArret("base: enregistrement de la vente");
    ouvrirTables(base);
    base.debuterTransaction();
    try {
        const qint64 numero =
            enregistrerDansTransaction(base, journal, vente, paiement, statut, reprise);
        Platform::pointArret("base: vente enregistrée");
        base.valider();
        return numero;
    } catch (...) {
        journal.annulerEnregistree();
        try {
            base.annuler();
        } catch (const ErreurExecution &) {
            // The transaction is gone already.
        }
        throw;
    }
}

void EnregistrerCommande(Vente &contexte)
{
    const State::EtatDemarrage &e = State::etat();
    JournalVente &journal = contexte.journalVente();
    AffichageVente &ecran = contexte.affichage();
    // The store lacks part of the journal: the sale is recorded, and a debit still owed sent,
    // once it takes writes again.
    if (journal.enRetard()) {
        ecran.afficherInvite(e.Messages.MsgEnPanne);
        ecran.rafraichir();
        contexte.poste().magasinEnPanne(
            QStringLiteral("journal de la vente %1 non écrit").arg(journal.vente().id));
        return;
    }
    const Payment::EtatPaiement &paiement = contexte.terminal().etat();
    const StatutDebit statut = statutDebitVente(contexte.etat(), paiement);
    qint64 numero = 0;
    try {
        numero =
            enregistrerVente(contexte.base(), journal, contexte.etat(), paiement, statut, false);
    } catch (const ErreurExecution &erreur) {
        // The journal stays open: it is recorded once the store takes writes again.
        Journal::SignalerErreur(QStringLiteral("EnregistrerCommande"), erreur);
        ecran.afficherInvite(e.Messages.MsgEnPanne);
        ecran.rafraichir();
        contexte.poste().magasinEnPanne(QStringLiteral("vente non enregistrée: ") +
                                        erreur.description());
        return;
    } catch (const std::exception &erreur) {
        Journal::SignalerErreur(QStringLiteral("EnregistrerCommande"),
                                ErreurExecution(Journal::Erreurs::ErreurInterne,
                                                QString::fromLocal8Bit(erreur.what())));
        return;
    }
    ecran.afficherInvite(e.Messages.MsgPrenezTicket);
    ecran.afficherConsigne(e.Messages.MsgPrenezTicket);
    ecran.rafraichir();
    ImprimerTicket(contexte);
    if (!journal.cloturer(contexte.base(), QStringLiteral("ticket imprime")))
        contexte.poste().magasinEnPanne(
            QStringLiteral("fin de la vente %1 non écrite").arg(numero));
    if (statut == StatutDebit::NonDebite)
        signalerNonDebitee(contexte.etat(), numero);
}

} // namespace Movendi::Sale
