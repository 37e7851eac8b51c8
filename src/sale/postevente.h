#pragma once

#include "sale/journalvente.h"

#include <QString>

#include <memory>

namespace Movendi::Machine {
class MachineControl;
}
namespace Movendi::Payment {
class LiaisonTerminal;
}
namespace Movendi::Platform {
class Clock;
class SerialLine;
class SerialLineFactory;
} // namespace Movendi::Platform
namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Sale {

class SurveillanceMagasin;
class Vente;

// The kiosk's sale desk: what every sale works with and what outlives each one. It holds the
// terminal's link, the mechanism and the clock it is given, and owns the store's connection of
// the sales, the durable journal of the sale in flight, the ticket printer's line and the watch
// that keeps the kiosk out of service while the store refuses writes. One sale runs at a time.
class PosteVente
{
public:
    // The devices a sale uses; each one left null is the program's installed one, taken at each
    // use (the printer's line from the installed line factory).
    struct Appareils
    {
        Machine::MachineControl *automate = nullptr;
        Platform::Clock *horloge = nullptr;
        Platform::SerialLineFactory *lignes = nullptr;
    };

    explicit PosteVente(Payment::LiaisonTerminal &terminal);
    PosteVente(Payment::LiaisonTerminal &terminal, Appareils appareils);
    ~PosteVente();
    PosteVente(const PosteVente &) = delete;
    PosteVente &operator=(const PosteVente &) = delete;

    Payment::LiaisonTerminal &terminal() const { return m_terminal; }
    Machine::MachineControl &automate() const;
    Platform::Clock &horloge() const;

    // Opened on first use; throws ErreurExecution when the store cannot be opened.
    Store::StoreDatabase &base();
    // Drops the connection, so that the next use opens the file afresh (a store made writable
    // again is not seen through a connection opened read-only).
    void fermerBase();
    JournalVente &journalVente() { return m_journal; }
    // The ticket printer's line (MSComm2), created closed on first use.
    Platform::SerialLine &ligneImprimante();
    SurveillanceMagasin &surveillanceMagasin() { return *m_surveillance; }
    // The store refused a write of a sale past its retries: the kiosk goes out of service until
    // it takes writes again, and the sale is settled then.
    void magasinEnPanne(const QString &raison);

    // The debit of the sale's amount left to pay: at most three attempts, never sent twice for
    // one sale (the journal says it goes before it goes); the result is kept in the sale state
    // and journalled. DebitNonEnvoye when the journal could not say it was going: nothing was
    // sent, the sale is settled once the store takes it.
    int debiter(EtatVente &vente);

    // The sale running now (the card wait behind the home screen after a cancel included).
    Vente *venteEnCours() const { return m_vente; }

private:
    friend class Vente;

    Payment::LiaisonTerminal &m_terminal;
    Appareils m_appareils;
    std::unique_ptr<Store::StoreDatabase> m_base;
    std::unique_ptr<Platform::SerialLine> m_imprimante;
    JournalVente m_journal;
    std::unique_ptr<SurveillanceMagasin> m_surveillance;
    Vente *m_vente = nullptr;
};

// debiter()'s answer when the debit was not sent.
inline constexpr int DebitNonEnvoye = -100000;

} // namespace Movendi::Sale
