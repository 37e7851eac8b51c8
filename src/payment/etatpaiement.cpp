#include "payment/etatpaiement.h"

namespace Movendi::Payment {

void EtatPaiement::reinitialiserTransaction()
{
    CardNumber.clear();
    MerchantTicketText.clear();
    CustomerTicketText.clear();
    RemittanceNumber = 0;
}

} // namespace Movendi::Payment
