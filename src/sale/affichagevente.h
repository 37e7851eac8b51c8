#pragma once

#include <QString>

namespace Movendi::Payment {
class AffichageClient;
}

namespace Movendi::Sale {

// What a sale shows the customer, from the card prompt to the return home. The payment screen
// implements it; the settling of interrupted sales shows nothing (AffichageMuet); tests may
// record it instead.
class AffichageVente
{
public:
    virtual ~AffichageVente() = default;

    // The line above the prompt: what to do now (insert the card, wait, take it back), the
    // number of items to deliver, then "take your ticket".
    virtual void afficherConsigne(const QString &texte) = 0;
    // Draws the eye to that line (the card waits blink it, the delivery holds it); false gives
    // it its colour back.
    virtual void mettreEnEvidenceConsigne(bool enEvidence) = 0;
    // The prompt under it ("please wait", "take the product"...).
    virtual void afficherInvite(const QString &texte) = 0;
    virtual void montrerInvite(bool visible) = 0;
    // The amount shows while the card is asked for and is hidden once the mechanism starts.
    virtual void montrerMontant(bool visible) = 0;
    // The customer may cancel until a card is in.
    virtual void montrerAnnulation(bool visible) = 0;
    // The panel where the terminal's own display shows; a text of the sale's when the card is
    // to be taken back.
    virtual void afficherPanneau(const QString &texte) = 0;
    virtual void cacherPanneau() = 0;
    // Where the terminal's display goes while the card is asked for.
    virtual Payment::AffichageClient &affichageTerminal() = 0;
    // A card inserted after a cancel: the customer follows the payment on its screen again.
    virtual void revenirAuPaiement() = 0;
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
    // The sale is over: the customer screens make way for the home screen.
    virtual void retourAccueil() = 0;
};

} // namespace Movendi::Sale
