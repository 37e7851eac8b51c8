#pragma once

#include "money/monnaie.h"

#include <QVariant>

#include <optional>

namespace Movendi::Sale {

// What can be charged: a price the store holds as a whole number of currency units, above
// zero, a whole number of cents (the terminal takes cents) and at most 99 999 999 cents (its
// eight digits). Anything else cannot be sold: missing, zero, negative, fractional or too large.
bool montantVendable(Money::Monnaie montant);
// A store price (the column as read) that can be sold; nothing otherwise.
std::optional<Money::Monnaie> prixVendable(const QVariant &prix);

} // namespace Movendi::Sale
