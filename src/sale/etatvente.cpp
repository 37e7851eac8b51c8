#include "sale/etatvente.h"

#include "state/etatdemarrage.h"

namespace Movendi::Sale {

EtatVente &etatVente()
{
    static EtatVente etat;
    return etat;
}

Panier panierCourant()
{
    const Startup::EtatDemarrage &e = Startup::etat();
    const EtatVente &v = etatVente();
    return {e.ReferenceChoisie,   e.QteChoisie,  e.MontantAPayer, v.ReferenceArticle,
            v.DesignationArticle, v.PrixArticle, v.LigneRecharge};
}

void retablirPanier(const Panier &panier)
{
    Startup::EtatDemarrage &e = Startup::etat();
    EtatVente &v = etatVente();
    e.ReferenceChoisie = panier.ReferenceChoisie;
    e.QteChoisie = panier.QteChoisie;
    e.MontantAPayer = panier.MontantAPayer;
    v.ReferenceArticle = panier.ReferenceArticle;
    v.DesignationArticle = panier.DesignationArticle;
    v.PrixArticle = panier.PrixArticle;
    v.LigneRecharge = panier.LigneRecharge;
}

} // namespace Movendi::Sale
