#include "sale/prixvente.h"

namespace Movendi::Sale {

namespace {

constexpr std::int64_t UnitesParCentime = Money::Monnaie::UnitesParEuro / 100;
constexpr std::int64_t PlusGrandMontantCentimes = 99999999;

} // namespace

bool montantVendable(Money::Monnaie montant)
{
    const std::int64_t unites = montant.unites();
    return unites > 0 && unites % UnitesParCentime == 0 &&
           unites / UnitesParCentime <= PlusGrandMontantCentimes;
}

std::optional<Money::Monnaie> prixVendable(const QVariant &prix)
{
    // An integer column may still hold a real number or a text in SQLite.
    const int type = prix.typeId();
    if (prix.isNull() || (type != QMetaType::LongLong && type != QMetaType::Int &&
                          type != QMetaType::ULongLong && type != QMetaType::UInt))
        return std::nullopt;
    const Money::Monnaie montant = Money::Monnaie::depuisUnites(prix.toLongLong());
    if (!montantVendable(montant))
        return std::nullopt;
    return montant;
}

} // namespace Movendi::Sale
