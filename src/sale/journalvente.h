#pragma once

#include "sale/etatvente.h"

#include <QString>

#include <array>
#include <optional>

namespace Movendi::Startup {
class ErreurExecution;
class StoreDatabase;
struct ResultatRequete;
} // namespace Movendi::Startup

namespace Movendi::Sale {

// What the journal knows of one item of the basket.
struct ArticleJournal
{
    enum Etat { NonCommence = 0, PorteVaSOuvrir = 1, Atteint = 2, NonLivre = 3 };
    int noEmpl = 0;
    Etat etat = NonCommence;
    ArticleDistribue servi;
};

// A sale left in flight, as the journal has it.
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
};

// The durable journal of the sale in flight (table JournalVente): written in one transaction
// before each step that cannot be undone, so that a sale cut short by a power cut or a crash is
// settled at the next start-up. A journal that cannot be written is reported under
// "JournalVente" and the sale goes on without it.
class JournalVente
{
public:
    // The authorisation was granted for this basket.
    void ouvrir(Startup::StoreDatabase &base, const Panier &panier, qint64 autoriseCentimes,
                const QString &langue);
    // Takes over a journal left in flight (settling at start-up).
    void reprendre(qint64 id) { m_id = id; }
    bool ouvert() const { return m_id != 0; }

    // The delivery of item k (1 the article, 2 the top-up) begins.
    void commencerArticle(int k) { m_article = k; }
    // The current item's door is about to open at location noEmpl: the door state already says
    // "NON".
    void porteVaSOuvrir(Startup::StoreDatabase &base, int noEmpl);
    // Whether the customer could reach item k; reached, its location is emptied in the same
    // transaction (the caller's store failures come back as ErreurExecution).
    void article(Startup::StoreDatabase &base, int k, bool atteint, int noEmpl,
                 const ArticleDistribue &servi);
    // The debit is about to be sent: from now on it is never sent again for this sale.
    void debitVaPartir(Startup::StoreDatabase &base, qint64 centimes);
    // The debit's answer and what it published.
    void debitRepondu(Startup::StoreDatabase &base, int resultat);
    // Inside the caller's transaction (the recording): the sale's number.
    void enregistree(Startup::StoreDatabase &base, qint64 numVente);
    // The sale is over (ticket printed, or settled).
    void cloturer(Startup::StoreDatabase &base, const QString &etape);

    // The last sale left in flight, if any.
    static std::optional<VenteInterrompue> enCours(Startup::StoreDatabase &base);

private:
    // One durable write; a failure makes the journal lost for this sale.
    void ecrire(Startup::StoreDatabase &base, const char *point, const QString &sql,
                const QVariantList &parametres);
    void perdu(const Startup::ErreurExecution &erreur);

    qint64 m_id = 0;
    int m_article = 1;
};

// What a location holds (the first row of a read of EmplacementsMachine1 with its IMEI, NoSIM,
// NoCommande and EAN13), null values as empty texts.
ArticleDistribue contenuEmplacement(const Startup::ResultatRequete &ligne);

// Empties a location whose article the customer could reach.
void libererEmplacement(Startup::StoreDatabase &base, int noEmpl);

} // namespace Movendi::Sale
