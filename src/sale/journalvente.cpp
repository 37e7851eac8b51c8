#include "sale/journalvente.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "payment/etatpaiement.h"
#include "platform/clock.h"
#include "platform/pointarret.h"
#include "platform/seams.h"
#include "store/conversions.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

namespace Movendi::Sale {

using Startup::ErreurExecution;
using Startup::StoreDatabase;

namespace {

QString colonne(const char *nom, int k)
{
    return QLatin1String(nom) + QString::number(k);
}

void annulerTransaction(StoreDatabase &base)
{
    try {
        base.annuler();
    } catch (const ErreurExecution &) {
        // No transaction was left open.
    }
}

std::optional<int> entier(const QVariant &v)
{
    if (v.isNull())
        return std::nullopt;
    return v.toInt();
}

} // namespace

ArticleDistribue contenuEmplacement(const Startup::ResultatRequete &ligne)
{
    const auto texte = [&ligne](const char *colonne) {
        return Startup::ConvertNullStr(ligne.valeur(0, QLatin1String(colonne)));
    };
    return {texte("IMEI"), texte("NoSIM"), texte("NoCommande"), texte("EAN13")};
}

void libererEmplacement(StoreDatabase &base, int noEmpl)
{
    base.executer(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = NULL, IMEI = NULL, "
                                 "NoSIM = NULL, EAN13 = NULL, NoCommande = NULL WHERE NoEmpl = ?"),
                  {noEmpl});
}

void JournalVente::perdu(const ErreurExecution &erreur)
{
    Startup::SignalerErreur(QStringLiteral("JournalVente"), erreur);
    m_id = 0;
}

void JournalVente::ecrire(StoreDatabase &base, const char *point, const QString &sql,
                          const QVariantList &parametres)
{
    if (!ouvert())
        return;
    Platform::pointArret(point);
    try {
        base.executer(sql, parametres);
    } catch (const ErreurExecution &erreur) {
        perdu(erreur);
    }
}

void JournalVente::ouvrir(StoreDatabase &base, const Panier &panier, qint64 autoriseCentimes,
                          const QString &langue)
{
    m_id = 0;
    Platform::pointArret("journal: autorisation accordée");
    try {
        m_id = base.inserer(
            QStringLiteral("INSERT INTO JournalVente (Debut, Etape, RefArticle, RefRecharge, "
                           "PrixRechargeCentimes, MontantAutoriseCentimes, Langue) "
                           "VALUES (?, 'autorisee', ?, ?, ?, ?, ?)"),
            {StoreDatabase::versBase(Platform::clock().now()), panier.ReferenceChoisie,
             panier.LigneRecharge.ReferenceRecharge, panier.LigneRecharge.PrixRechargeCentimes,
             autoriseCentimes, langue});
    } catch (const ErreurExecution &erreur) {
        perdu(erreur);
    }
}

void JournalVente::porteVaSOuvrir(StoreDatabase &base, int noEmpl)
{
    const int k = m_article;
    ecrire(base, "journal: porte va s'ouvrir",
           QStringLiteral("UPDATE JournalVente SET Etape = ?, %1 = ?, %2 = 1 WHERE Id = ?")
               .arg(colonne("NoEmpl", k), colonne("Etat", k)),
           {QStringLiteral("porte %1").arg(k), noEmpl, m_id});
}

void JournalVente::article(StoreDatabase &base, int k, bool atteint, int noEmpl,
                           const ArticleDistribue &servi)
{
    Platform::pointArret(atteint ? "journal: casier libéré" : "journal: article non livré");
    if (ouvert()) {
        try {
            base.debuterTransaction();
            base.executer(
                QStringLiteral("UPDATE JournalVente SET Etape = ?, %1 = ?, %2 = ?, %3 = ?, "
                               "%4 = ?, %5 = ?, %6 = ? WHERE Id = ?")
                    .arg(colonne("NoEmpl", k), colonne("Etat", k), colonne("IMEI", k),
                         colonne("NoSIM", k), colonne("EAN13", k), colonne("NoCommande", k)),
                {QStringLiteral("article %1 %2").arg(k).arg(atteint ? "livre" : "non livre"),
                 noEmpl, atteint ? ArticleJournal::Atteint : ArticleJournal::NonLivre, servi.IMEI,
                 servi.NoSIM, servi.EAN13, servi.NoCommande, m_id});
            if (atteint)
                libererEmplacement(base, noEmpl);
            base.valider();
            return;
        } catch (const ErreurExecution &erreur) {
            annulerTransaction(base);
            perdu(erreur);
        }
    }
    if (atteint)
        libererEmplacement(base, noEmpl);
}

void JournalVente::debitVaPartir(StoreDatabase &base, qint64 centimes)
{
    ecrire(base, "journal: débit envoyé",
           QStringLiteral("UPDATE JournalVente SET Etape = 'debit envoye', DebitEnvoye = 1, "
                          "MontantDebitCentimes = ? WHERE Id = ?"),
           {centimes, m_id});
}

void JournalVente::debitRepondu(StoreDatabase &base, int resultat)
{
    const Payment::EtatPaiement &p = Payment::etatPaiement();
    ecrire(base, "journal: débit répondu",
           QStringLiteral("UPDATE JournalVente SET Etape = 'debit repondu', ResultatDebit = ?, "
                          "NoCBClient = ?, NoRemise = ?, TicketClient = ?, TicketCommercant = ? "
                          "WHERE Id = ?"),
           {resultat, p.CardNumber, p.RemittanceNumber, p.CustomerTicketText, p.MerchantTicketText,
            m_id});
}

void JournalVente::enregistree(StoreDatabase &base, qint64 numVente)
{
    if (ouvert())
        base.executer(QStringLiteral("UPDATE JournalVente SET Etape = 'enregistree', "
                                     "NumVente = ? WHERE Id = ?"),
                      {numVente, m_id});
}

void JournalVente::cloturer(StoreDatabase &base, const QString &etape)
{
    ecrire(base, "journal: vente close",
           QStringLiteral("UPDATE JournalVente SET Etape = ?, Cloturee = 1 WHERE Id = ?"),
           {etape, m_id});
    m_id = 0;
}

std::optional<VenteInterrompue> JournalVente::enCours(StoreDatabase &base)
{
    const Startup::ResultatRequete r = base.lire(
        QStringLiteral("SELECT * FROM JournalVente WHERE Cloturee = 0 ORDER BY Id DESC LIMIT 1"));
    if (r.estVide())
        return std::nullopt;
    const auto v = [&r](const QString &nom) { return r.valeur(0, nom); };
    VenteInterrompue vente;
    vente.id = v(QStringLiteral("Id")).toLongLong();
    vente.etape = v(QStringLiteral("Etape")).toString();
    vente.refArticle = v(QStringLiteral("RefArticle")).toInt();
    vente.refRecharge = v(QStringLiteral("RefRecharge")).toInt();
    vente.prixRechargeCentimes = v(QStringLiteral("PrixRechargeCentimes")).toInt();
    vente.montantAutoriseCentimes = v(QStringLiteral("MontantAutoriseCentimes")).toLongLong();
    vente.langue = v(QStringLiteral("Langue")).toString();
    for (int k = 1; k <= 2; ++k) {
        ArticleJournal &a = vente.articles[k - 1];
        a.noEmpl = v(colonne("NoEmpl", k)).toInt();
        a.etat = ArticleJournal::Etat(v(colonne("Etat", k)).toInt());
        a.servi = {Startup::ConvertNullStr(v(colonne("IMEI", k))),
                   Startup::ConvertNullStr(v(colonne("NoSIM", k))),
                   Startup::ConvertNullStr(v(colonne("NoCommande", k))),
                   Startup::ConvertNullStr(v(colonne("EAN13", k)))};
    }
    if (const QVariant m = v(QStringLiteral("MontantDebitCentimes")); !m.isNull())
        vente.montantDebitCentimes = m.toLongLong();
    vente.debitEnvoye = v(QStringLiteral("DebitEnvoye")).toInt() != 0;
    vente.resultatDebit = entier(v(QStringLiteral("ResultatDebit")));
    vente.noCarte = Startup::ConvertNullStr(v(QStringLiteral("NoCBClient")));
    vente.noRemise = v(QStringLiteral("NoRemise")).toInt();
    vente.ticketClient = Startup::ConvertNullStr(v(QStringLiteral("TicketClient")));
    vente.ticketCommercant = Startup::ConvertNullStr(v(QStringLiteral("TicketCommercant")));
    vente.numVente = v(QStringLiteral("NumVente")).toLongLong();
    return vente;
}

} // namespace Movendi::Sale
