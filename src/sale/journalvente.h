#pragma once

#include "sale/etatvente.h"

#include <QString>

#include <array>
#include <optional>

namespace Movendi::Payment {
struct EtatPaiement;
}
namespace Movendi::Store {
class StoreDatabase;
struct ResultatRequete;
} // namespace Movendi::Store

namespace Movendi::Sale {

// What the journal knows of one item of the basket.
struct ArticleJournal
{
    enum Etat { NonCommence = 0, PorteVaSOuvrir = 1, Atteint = 2, NonLivre = 3 };
    int noEmpl = 0;
    Etat etat = NonCommence;
    ArticleDistribue servi;
};

// A sale in flight, as its journal has it.
struct VenteInterrompue
{
    qint64 id = 0;
    QString etape;
    std::int32_t refArticle = 0;
    std::int32_t refRecharge = 0;
    std::int32_t prixRechargeCentimes = 0;
    qint64 montantAutoriseCentimes = 0;
    QString langue;
    std::array<ArticleJournal, 2> articles; // the article, the top-up
    std::optional<qint64> montantDebitCentimes;
    bool debitEnvoye = false;
    std::optional<int> resultatDebit;
    QString noCarte;
    int noRemise = 0;
    QString ticketClient;
    QString ticketCommercant;
    qint64 numVente = 0;
    bool cloturee = false;
};

// The durable journal of the sale in flight (table JournalVente): written in one transaction
// before each step that cannot be undone, so that a sale cut short by a power cut or a crash is
// settled at the next start-up.
//
// A step the store refuses (locked past its busy time-out, full disk, read-only, I/O error) is
// tried again a few times; when it still cannot be written the journal falls behind (enRetard):
// it keeps the whole sale in memory, reports it once under "JournalVente", and the caller does
// not take the step (no door opens, no debit goes). Each later write, and rattraper() once the
// store takes writes again, writes the whole journal at once, so nothing it knew is lost and
// the sale is settled from it. A kill while it is behind leaves the store's older journal,
// which settles the sale without a second debit (see docs/architecture.md).
class JournalVente
{
public:
    // The authorisation was granted for this basket. False: no journal, nothing may be
    // delivered or debited.
    [[nodiscard]] bool ouvrir(Store::StoreDatabase &base, const Panier &panier,
                              qint64 autoriseCentimes, const QString &langue);
    // Takes over a journal left in flight (settling).
    void reprendre(const VenteInterrompue &vente);
    bool ouvert() const { return m_vente.id != 0; }
    // The store holds less than this journal knows.
    bool enRetard() const { return m_enRetard; }
    const VenteInterrompue &vente() const { return m_vente; }

    // The delivery of item k (1 the article, 2 the top-up) begins.
    void commencerArticle(int k) { m_article = k; }
    // The current item's door is about to open at location noEmpl: the door state already says
    // "NON". False: the door must not open.
    [[nodiscard]] bool porteVaSOuvrir(Store::StoreDatabase &base, int noEmpl);
    // Whether the customer could reach item k; reached, its location is emptied in the same
    // transaction. False: the journal is behind (the location is emptied when it catches up).
    bool article(Store::StoreDatabase &base, int k, bool atteint, int noEmpl,
                 const ArticleDistribue &servi);
    // The debit is about to be sent: from now on it is never sent again for this sale. False:
    // it must not be sent now; the sale is settled once the store takes the journal.
    [[nodiscard]] bool debitVaPartir(Store::StoreDatabase &base, qint64 centimes);
    // The debit's answer and what it published.
    bool debitRepondu(Store::StoreDatabase &base, int resultat,
                      const Payment::EtatPaiement &paiement);
    // Inside the caller's transaction (the recording): the sale's number. Throws ErreurExecution;
    // annulerEnregistree() when that transaction is rolled back.
    void enregistree(Store::StoreDatabase &base, qint64 numVente);
    void annulerEnregistree();
    // The sale is over (ticket printed, or settled). While behind, it stays in memory until
    // rattraper() writes it.
    bool cloturer(Store::StoreDatabase &base, const QString &etape);
    // Writes what the store lacks, once; true when the store holds the whole journal.
    bool rattraper(Store::StoreDatabase &base);

    // The last sale left in flight, if any.
    static std::optional<VenteInterrompue> enCours(Store::StoreDatabase &base);

    // Attempts of one write before the journal falls behind, and the pause between them (the
    // store's busy time-out comes on top for a lock).
    static constexpr int EssaisEcriture = 3;
    static constexpr qint64 PauseEntreEssaisMs = 500;

private:
    // The whole journal in one transaction, with the lockers reached and not yet emptied.
    // Tried EssaisEcriture times (once while behind); false when it fell behind.
    bool ecrire(Store::StoreDatabase &base, const char *point);
    void ecrireLigne(Store::StoreDatabase &base);
    void oublier();
    // A location this journal empties was left by a sale, or by one settled at start-up.
    QString causeStock() const
    {
        return m_reprise ? QStringLiteral("reprise") : QStringLiteral("vente");
    }

    VenteInterrompue m_vente;
    bool m_reprise = false;
    QString m_etapeAvantEnregistrement;
    std::array<bool, 2> m_videSurDisque{false, false};
    int m_article = 1;
    bool m_enRetard = false;
};

// What a location holds (the first row of a read of EmplacementsMachine1 with its IMEI, NoSIM,
// NoCommande and EAN13), null values as empty texts.
ArticleDistribue contenuEmplacement(const Store::ResultatRequete &ligne);

// Empties a location whose article the customer could reach, if it still holds that article,
// with its stock event (cause "vente" or "reprise") in the caller's transaction.
void libererEmplacement(Store::StoreDatabase &base, int noEmpl, const ArticleDistribue &servi,
                        const QString &cause);

} // namespace Movendi::Sale
