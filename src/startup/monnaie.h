#pragma once

#include <QString>
#include <compare>
#include <cstdint>
#include <optional>

namespace Movendi::Startup {

// A currency amount in euros as a 64-bit count of 1/10000 euro, so that sums stay exact.
class Monnaie
{
public:
    static constexpr std::int64_t UnitesParEuro = 10000;

    constexpr Monnaie() = default;
    static constexpr Monnaie depuisUnites(std::int64_t unites) { return Monnaie(unites); }
    static constexpr Monnaie depuisCentimes(std::int64_t centimes)
    {
        return Monnaie(centimes * 100);
    }

    constexpr std::int64_t unites() const { return m_unites; }
    // Rounded half away from zero, as amounts sent to the terminal are.
    std::int64_t centimes() const;

    // The kiosk's currency format: "49,90 €", "1 299,00 €" (French regional settings).
    QString texteMonetaire() const;
    // Reads back a text in that format (or a plain decimal with comma or point); empty gives 0,
    // anything else gives nothing.
    static std::optional<Monnaie> depuisTexte(const QString &texte);

    constexpr Monnaie operator+(Monnaie o) const { return Monnaie(m_unites + o.m_unites); }
    constexpr Monnaie operator-(Monnaie o) const { return Monnaie(m_unites - o.m_unites); }
    constexpr Monnaie &operator+=(Monnaie o)
    {
        m_unites += o.m_unites;
        return *this;
    }
    constexpr Monnaie &operator-=(Monnaie o)
    {
        m_unites -= o.m_unites;
        return *this;
    }
    constexpr auto operator<=>(const Monnaie &) const = default;

private:
    constexpr explicit Monnaie(std::int64_t unites) : m_unites(unites) {}
    std::int64_t m_unites = 0;
};

} // namespace Movendi::Startup
