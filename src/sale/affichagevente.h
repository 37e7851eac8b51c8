#pragma once

#include <QString>

namespace Movendi::Payment {
class LiaisonTerminal;
}
namespace Movendi::Platform {
class SerialLine;
}
namespace Movendi::Startup {
class StoreDatabase;
}

namespace Movendi::Sale {

class JournalVente;

// What the delivery, recording and ticket show the customer while a sale ends. The payment
// screen implements it; tests may record it instead.
class AffichageVente
{
public:
    virtual ~AffichageVente() = default;

    // The line above the prompt: the number of items to deliver, then "take your ticket".
    virtual void afficherLigneArticles(const QString &texte) = 0;
    // Draws the eye to that line while items are delivered; false gives it its colour back.
    virtual void mettreEnEvidenceLigneArticles(bool enEvidence) = 0;
    // The prompt under it ("please wait", "take the product"...).
    virtual void afficherInvite(const QString &texte) = 0;
    virtual void montrerInvite(bool visible) = 0;
    // The amount is hidden once the mechanism starts.
    virtual void cacherMontant() = 0;
    // The picture of the level the item comes from, when there is one.
    virtual void afficherImageEtage(const QString &chemin) = 0;
    // While the door is open the two pictures and the close button's colour alternate.
    virtual void alternerImages(bool impair) = 0;
    virtual void cacherImages() = 0;
    virtual void montrerBoutonFermeture(bool visible) = 0;
    // Set when the customer pressed the close button since the last call to oublier...().
    virtual bool fermetureDemandee() const = 0;
    virtual void oublierFermetureDemandee() = 0;
    // Paints what changed now (some steps block the event loop for a while).
    virtual void rafraichir() = 0;
};

// What the end of a sale runs with: its display, the store connection, the durable journal of
// the sale, the ticket printer's line and the debit of what was delivered.
class ContexteVente
{
public:
    virtual ~ContexteVente() = default;

    virtual AffichageVente &affichage() = 0;
    // Opened on first use; throws ErreurExecution when the store cannot be opened.
    virtual Startup::StoreDatabase &base() = 0;
    virtual JournalVente &journalVente() = 0;
    // The terminal's link: its requests, the amount asked and what the debit published.
    virtual Payment::LiaisonTerminal &terminal() = 0;
    // Created closed on first use.
    virtual Platform::SerialLine &ligneImprimante() = 0;
    // The debit of PaymentAmountCents: at most three attempts; the result is kept in the sale
    // state and journalled. DebitNonEnvoye when the journal could not say it was going: nothing
    // was sent.
    virtual int DebiterMontant() = 0;
    // The store refused a write of the sale past its retries: the kiosk goes out of service
    // until it takes writes again, and the sale is settled then.
    virtual void magasinEnPanne(const QString &raison) = 0;
    // Drops the store connection, so that the next use opens the file afresh (a store made
    // writable again is not seen through a connection opened read-only).
    virtual void fermerBase() = 0;
};

// DebiterMontant's answer when the debit was not sent.
inline constexpr int DebitNonEnvoye = -100000;

} // namespace Movendi::Sale
