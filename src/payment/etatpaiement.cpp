#include "payment/etatpaiement.h"

#include "platform/serialline.h"

namespace Movendi::Payment {

EtatPaiement::EtatPaiement() = default;
EtatPaiement::~EtatPaiement() = default;
EtatPaiement &EtatPaiement::operator=(EtatPaiement &&) noexcept = default;

EtatPaiement &etatPaiement()
{
    static EtatPaiement etat;
    return etat;
}

void reinitialiserPaiement()
{
    EtatPaiement &e = etatPaiement();
    AffichageClient *paiement = e.affichagePaiement;
    AffichageClient *accueil = e.affichageAccueil;
    e.ligneTerminal.reset();
    e = EtatPaiement();
    e.affichagePaiement = paiement;
    e.affichageAccueil = accueil;
}

void reinitialiserTransaction()
{
    EtatPaiement &e = etatPaiement();
    e.CardNumber.clear();
    e.MerchantTicketText.clear();
    e.CustomerTicketText.clear();
    e.RemittanceNumber = 0;
}

} // namespace Movendi::Payment
