#include "sale/etatvente.h"

namespace Movendi::Sale {

EtatVente EtatVente::depuisPanier(const Panier &panier)
{
    EtatVente etat;
    etat.ReferenceChoisie = panier.ReferenceChoisie;
    etat.ReferenceArticle = panier.ReferenceArticle;
    etat.DesignationArticle = panier.DesignationArticle;
    etat.PrixArticle = panier.PrixArticle;
    etat.InfoSociete = panier.InfoSociete;
    etat.LigneRecharge = panier.LigneRecharge;
    etat.MontantAPayer = panier.MontantAPayer;
    return etat;
}

} // namespace Movendi::Sale
