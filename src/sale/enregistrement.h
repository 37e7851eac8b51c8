#pragma once

namespace Movendi::Sale {

class FrmPayment;

// Records the sale (one Ventes row, one DetailVente row per item), composes the sale ticket,
// stores it with the merchant's bank ticket and prints it.
void EnregistrerCommande(FrmPayment &ecran);

} // namespace Movendi::Sale
