#pragma once

#include "sale/etatvente.h"

#include <QString>

#include <functional>

namespace Movendi::Payment {
class LiaisonTerminal;
}
namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Sale {

class AffichageVente;
class JournalVente;
class PosteVente;

// One sale, from the validated basket to the return home: the card and its authorisation,
// the delivery (MiseAJourStock), the debit of what was delivered (DebiterMontant), the
// recording and the ticket (EnregistrerCommande), the upload. It owns its basket, frozen, and
// its state (EtatVente: the amount, what was served, the ticket); it works with the sale desk's
// terminal link, mechanism, store, printer line and clock, and shows what it does through
// AffichageVente. It runs on the UI thread and its waits process events: the screens ask it
// what it is doing rather than keep flags of their own. One at a time: the payment screen holds
// the sale's guard (GardeVente) while it runs.
class Vente
{
public:
    Vente(PosteVente &poste, AffichageVente &affichage, const Panier &panier);
    ~Vente();
    Vente(const Vente &) = delete;
    Vente &operator=(const Vente &) = delete;

    // The whole sale, then the return home. The store's connection is checked first
    // (preparer()); an amount that cannot be charged is refused before the terminal is asked
    // anything.
    void MakePayment();
    // Throws ErreurExecution when the store cannot be opened: the sale cannot start.
    void preparer();
    // The card, its authorisation and the journal of the authorised sale; the card taken back.
    // True when the sale may go on to the delivery.
    bool Payer();
    void AttendreRetraitCarte();
    // The debit of the amount left to pay (PosteVente::debiter).
    int DebiterMontant();

    // The sale waits for a card (insertion or removal).
    bool attendCarte() const { return m_attenteCarte; }
    // A new basket started on the home screen ends a card wait that goes on there after a
    // cancel. False when no card wait runs (the sale is further on and goes to its end).
    bool abandonnerAttenteCarte();

    const Panier &panier() const { return m_panier; }
    EtatVente &etat() { return m_etat; }
    const EtatVente &etat() const { return m_etat; }
    AffichageVente &affichage() { return m_affichage; }
    PosteVente &poste() { return m_poste; }
    Payment::LiaisonTerminal &terminal();
    Store::StoreDatabase &base();
    JournalVente &journalVente();

private:
    // Alternates the line's colour while a card is awaited or to be taken back; stops when
    // poll() says so, after 60 seconds, or when the wait is abandoned. Returns whether poll()
    // stopped it.
    bool attendreCarte(const std::function<bool()> &poll);
    // The authorised sale, journalled; false when the store refused it (nothing delivered or
    // debited, the kiosk out of service).
    bool journaliserAutorisation();

    PosteVente &m_poste;
    AffichageVente &m_affichage;
    const Panier m_panier;
    EtatVente m_etat;
    bool m_attenteCarte = false;
    bool m_abandonAttente = false;
    // The authorised sale could not be journalled: nothing was delivered or debited.
    bool m_journalImpossible = false;
};

} // namespace Movendi::Sale
