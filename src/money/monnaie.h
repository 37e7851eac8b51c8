#pragma once

#include <QString>
#include <compare>
#include <cstdint>
#include <optional>

namespace Movendi::Money {

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

    // Every amount the kiosk writes goes through texte(); the others name its usual forms.
    struct Format
    {
        // Rounded to the cent, else every significant decimal (no trailing zeros): "199,9".
        bool auCentime = true;
        // Thousands parted by a no-break space: "1 299,00".
        bool milliers = false;
        // " €" after the amount.
        bool symbole = false;
    };
    QString texte(Format format) const;

    // The kiosk's currency format on screens: "49,90 €", "1 299,00 €" (French regional
    // settings).
    QString texteMonetaire() const { return texte({true, true, true}); }
    // Tickets and mails: "49,90", "-0,50".
    QString texteCentimes() const { return texte({true, false, false}); }
    // The journal and reports: the exact value without trailing zeros, "199,9" or "10".
    QString texteExact() const { return texte({false, false, false}); }
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

} // namespace Movendi::Money
