#include "sale/journalvente.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "payment/etatpaiement.h"
#include "platform/clock.h"
#include "platform/pointarret.h"
#include "platform/seams.h"
#include "platform/watchdog.h"
#include "store/boiteenvoi.h"
#include "store/conversions.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

namespace Movendi::Sale {

using Journal::ErreurExecution;
using Store::StoreDatabase;

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

QVariant nulSiVide(const std::optional<qint64> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType(QMetaType::LongLong));
}

const QString contexteJournal = QStringLiteral("JournalVente");

} // namespace

ArticleDistribue contenuEmplacement(const Store::ResultatRequete &ligne)
{
    const auto texte = [&ligne](const char *colonne) {
        return Store::ConvertNullStr(ligne.valeur(0, QLatin1String(colonne)));
    };
    return {texte("IMEI"), texte("NoSIM"), texte("NoCommande"), texte("EAN13")};
}

void libererEmplacement(StoreDatabase &base, int noEmpl, const ArticleDistribue &servi,
                        const QString &cause)
{
    // Only while it still holds what was served: a journal written late must not empty a
    // location staff have filled again since.
    const int vides = base.executer(
        QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = NULL, IMEI = NULL, "
                       "NoSIM = NULL, EAN13 = NULL, NoCommande = NULL WHERE NoEmpl = ? "
                       "AND IFNULL(IMEI, '') = IFNULL(?, '') AND IFNULL(NoSIM, '') = "
                       "IFNULL(?, '')"),
        {noEmpl, servi.IMEI, servi.NoSIM});
    if (vides == 1)
        Store::ajouterEvenementStock(
            base, noEmpl, cause,
            {std::nullopt, servi.IMEI, servi.IMEI.isEmpty() ? servi.NoSIM : QString()});
}

void JournalVente::oublier()
{
    m_vente = VenteInterrompue{};
    m_videSurDisque = {false, false};
    m_article = 1;
    m_enRetard = false;
    m_reprise = false;
}

void JournalVente::reprendre(const VenteInterrompue &vente)
{
    oublier();
    m_vente = vente;
    m_reprise = true;
    // A location reached was emptied in the transaction that recorded it.
    for (int i = 0; i < 2; ++i)
        m_videSurDisque[i] = vente.articles[i].etat == ArticleJournal::Atteint;
}

void JournalVente::ecrireLigne(StoreDatabase &base)
{
    const VenteInterrompue &v = m_vente;
    QVariantList valeurs{v.etape, v.cloturee ? 1 : 0};
    for (const ArticleJournal &a : v.articles)
        valeurs << a.noEmpl << int(a.etat) << a.servi.IMEI << a.servi.NoSIM << a.servi.EAN13
                << a.servi.NoCommande;
    valeurs << nulSiVide(v.montantDebitCentimes) << (v.debitEnvoye ? 1 : 0)
            << (v.resultatDebit ? QVariant(*v.resultatDebit) : QVariant(QMetaType(QMetaType::Int)))
            << v.noCarte << v.noRemise << v.ticketClient << v.ticketCommercant
            << (v.numVente != 0 ? QVariant(v.numVente) : QVariant(QMetaType(QMetaType::LongLong)))
            << v.id;
    QString affectations;
    for (int k = 1; k <= 2; ++k) {
        for (const char *nom : {"NoEmpl", "Etat", "IMEI", "NoSIM", "EAN13", "NoCommande"})
            affectations += colonne(nom, k) + QStringLiteral(" = ?, ");
    }
    const int lignes = base.executer(
        QStringLiteral("UPDATE JournalVente SET Etape = ?, Cloturee = ?, %1MontantDebitCentimes = "
                       "?, DebitEnvoye = ?, ResultatDebit = ?, NoCBClient = ?, NoRemise = ?, "
                       "TicketClient = ?, TicketCommercant = ?, NumVente = ? WHERE Id = ?")
            .arg(affectations),
        valeurs);
    if (lignes != 1)
        throw ErreurExecution(StoreDatabase::ErreurRequete,
                              QStringLiteral("journal de vente %1 introuvable").arg(v.id));
    for (int i = 0; i < 2; ++i) {
        const ArticleJournal &a = v.articles[i];
        if (a.etat == ArticleJournal::Atteint && !m_videSurDisque[i])
            libererEmplacement(base, a.noEmpl, a.servi, causeStock());
    }
}

bool JournalVente::ecrire(StoreDatabase &base, const char *point)
{
    if (!ouvert())
        return true;
    Platform::pointArret(point);
    // Once behind, each step tries once: the customer is not kept waiting again and again.
    const int essais = m_enRetard ? 1 : EssaisEcriture;
    for (int essai = 1;; ++essai) {
        try {
            base.debuterTransaction();
            try {
                ecrireLigne(base);
                base.valider();
            } catch (const ErreurExecution &) {
                annulerTransaction(base);
                throw;
            }
            for (int i = 0; i < 2; ++i)
                m_videSurDisque[i] = m_vente.articles[i].etat == ArticleJournal::Atteint;
            if (m_enRetard)
                Journal::JournaliserErreur(contexteJournal,
                                           QStringLiteral("journal de la vente %1 de nouveau "
                                                          "écrit (étape \"%2\")")
                                               .arg(m_vente.id)
                                               .arg(m_vente.etape));
            m_enRetard = false;
            if (m_vente.cloturee)
                oublier();
            return true;
        } catch (const ErreurExecution &erreur) {
            if (essai < essais) {
                Platform::sleepFed(PauseEntreEssaisMs);
                continue;
            }
            if (!m_enRetard)
                Journal::SignalerErreur(
                    contexteJournal,
                    ErreurExecution(erreur.numero(),
                                    QStringLiteral("vente %1, étape \"%2\" non écrite: %3")
                                        .arg(m_vente.id)
                                        .arg(m_vente.etape, erreur.description())));
            m_enRetard = true;
            return false;
        }
    }
}

bool JournalVente::ouvrir(StoreDatabase &base, const Panier &panier, qint64 autoriseCentimes,
                          const QString &langue)
{
    oublier();
    Platform::pointArret("journal: autorisation accordée");
    for (int essai = 1;; ++essai) {
        try {
            const qint64 id = base.inserer(
                QStringLiteral("INSERT INTO JournalVente (Debut, Etape, RefArticle, RefRecharge, "
                               "PrixRechargeCentimes, MontantAutoriseCentimes, Langue) "
                               "VALUES (?, 'autorisee', ?, ?, ?, ?, ?)"),
                {StoreDatabase::versBase(Platform::clock().now()), panier.ReferenceChoisie,
                 panier.LigneRecharge.ReferenceRecharge, panier.LigneRecharge.PrixRechargeCentimes,
                 autoriseCentimes, langue});
            m_vente.id = id;
            m_vente.etape = QStringLiteral("autorisee");
            m_vente.refArticle = panier.ReferenceChoisie;
            m_vente.refRecharge = panier.LigneRecharge.ReferenceRecharge;
            m_vente.prixRechargeCentimes = panier.LigneRecharge.PrixRechargeCentimes;
            m_vente.montantAutoriseCentimes = autoriseCentimes;
            m_vente.langue = langue;
            return true;
        } catch (const ErreurExecution &erreur) {
            if (essai < EssaisEcriture) {
                Platform::sleepFed(PauseEntreEssaisMs);
                continue;
            }
            Journal::SignalerErreur(
                contexteJournal,
                ErreurExecution(erreur.numero(),
                                QStringLiteral("vente autorisée non journalisée, rien ne sera "
                                               "livré ni débité: ") +
                                    erreur.description()));
            return false;
        }
    }
}

bool JournalVente::porteVaSOuvrir(StoreDatabase &base, int noEmpl)
{
    ArticleJournal &a = m_vente.articles[m_article - 1];
    a.noEmpl = noEmpl;
    a.etat = ArticleJournal::PorteVaSOuvrir;
    m_vente.etape = QStringLiteral("porte %1").arg(m_article);
    return ecrire(base, "journal: porte va s'ouvrir");
}

bool JournalVente::article(StoreDatabase &base, int k, bool atteint, int noEmpl,
                           const ArticleDistribue &servi)
{
    if (!ouvert()) {
        Platform::pointArret(atteint ? "journal: casier libéré" : "journal: article non livré");
        if (atteint)
            Store::enUneTransaction(base,
                                    [&] { libererEmplacement(base, noEmpl, servi, causeStock()); });
        return true;
    }
    ArticleJournal &a = m_vente.articles[k - 1];
    a.noEmpl = noEmpl;
    a.etat = atteint ? ArticleJournal::Atteint : ArticleJournal::NonLivre;
    a.servi = servi;
    m_vente.etape = QStringLiteral("article %1 %2").arg(k).arg(atteint ? "livre" : "non livre");
    return ecrire(base, atteint ? "journal: casier libéré" : "journal: article non livré");
}

bool JournalVente::debitVaPartir(StoreDatabase &base, qint64 centimes)
{
    m_vente.etape = QStringLiteral("debit envoye");
    m_vente.debitEnvoye = true;
    m_vente.montantDebitCentimes = centimes;
    if (ecrire(base, "journal: débit envoyé"))
        return true;
    // Not sent: the journal must not say it was.
    m_vente.debitEnvoye = false;
    m_vente.montantDebitCentimes.reset();
    m_vente.etape = QStringLiteral("debit differe");
    return false;
}

bool JournalVente::debitRepondu(StoreDatabase &base, int resultat, const Payment::EtatPaiement &p)
{
    m_vente.etape = QStringLiteral("debit repondu");
    m_vente.resultatDebit = resultat;
    m_vente.noCarte = p.CardNumber;
    m_vente.noRemise = p.RemittanceNumber;
    m_vente.ticketClient = p.CustomerTicketText;
    m_vente.ticketCommercant = p.MerchantTicketText;
    return ecrire(base, "journal: débit répondu");
}

void JournalVente::enregistree(StoreDatabase &base, qint64 numVente)
{
    if (!ouvert())
        return;
    m_etapeAvantEnregistrement = m_vente.etape;
    m_vente.etape = QStringLiteral("enregistree");
    m_vente.numVente = numVente;
    ecrireLigne(base);
}

void JournalVente::annulerEnregistree()
{
    if (m_vente.numVente == 0)
        return;
    // The recording's transaction was rolled back: the journal is as it was before it.
    m_vente.numVente = 0;
    m_vente.etape = m_etapeAvantEnregistrement;
}

bool JournalVente::cloturer(StoreDatabase &base, const QString &etape)
{
    if (!ouvert())
        return true;
    m_vente.etape = etape;
    m_vente.cloturee = true;
    return ecrire(base, "journal: vente close");
}

bool JournalVente::rattraper(StoreDatabase &base)
{
    if (!ouvert() || !m_enRetard)
        return true;
    return ecrire(base, "journal: rattrapage");
}

std::optional<VenteInterrompue> JournalVente::enCours(StoreDatabase &base)
{
    const Store::ResultatRequete r = base.lire(
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
        a.servi = {Store::ConvertNullStr(v(colonne("IMEI", k))),
                   Store::ConvertNullStr(v(colonne("NoSIM", k))),
                   Store::ConvertNullStr(v(colonne("NoCommande", k))),
                   Store::ConvertNullStr(v(colonne("EAN13", k)))};
    }
    if (const QVariant m = v(QStringLiteral("MontantDebitCentimes")); !m.isNull())
        vente.montantDebitCentimes = m.toLongLong();
    vente.debitEnvoye = v(QStringLiteral("DebitEnvoye")).toInt() != 0;
    vente.resultatDebit = entier(v(QStringLiteral("ResultatDebit")));
    vente.noCarte = Store::ConvertNullStr(v(QStringLiteral("NoCBClient")));
    vente.noRemise = v(QStringLiteral("NoRemise")).toInt();
    vente.ticketClient = Store::ConvertNullStr(v(QStringLiteral("TicketClient")));
    vente.ticketCommercant = Store::ConvertNullStr(v(QStringLiteral("TicketCommercant")));
    vente.numVente = v(QStringLiteral("NumVente")).toLongLong();
    return vente;
}

} // namespace Movendi::Sale
