#pragma once

#include "commandes.h"

#include <QString>

namespace Movendi::Admin {

// A card number as staff may see it: every digit but the last four replaced by "*", whatever
// the store kept (the kiosk keeps the first six and last four; an older record may hold more).
QString masquerNumeroCarte(const QString &numero);

// movendi-admin ventes DIR [--jour JJ/MM/AAAA]: the sales of one day, their count and total.
extern const Commande CommandeVentes;

} // namespace Movendi::Admin
