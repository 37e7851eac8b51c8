#include "etatvente.h"

namespace Movendi::Sale {

EtatVente &etatVente()
{
    static EtatVente etat;
    return etat;
}

} // namespace Movendi::Sale
