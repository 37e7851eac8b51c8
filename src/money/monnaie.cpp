#include "money/monnaie.h"

#include <algorithm>
#include <limits>

#include <QStringList>

namespace Movendi::Money {

std::int64_t Monnaie::centimes() const
{
    // Half a cent away from zero, without adding to an amount that may be at the type's edge.
    const std::int64_t reste = m_unites % 100;
    return m_unites / 100 + (reste >= 50 ? 1 : reste <= -50 ? -1 : 0);
}

QString Monnaie::texte(Format format) const
{
    const bool negatif = m_unites < 0;
    // In cents when rounded, else in the type's own units.
    const std::int64_t valeur = format.auCentime ? centimes() : m_unites;
    const std::int64_t absolu = valeur < 0 ? -valeur : valeur;
    const std::int64_t echelle = format.auCentime ? 100 : UnitesParEuro;
    const int decimales = format.auCentime ? 2 : 4;

    QString euros = QString::number(absolu / echelle);
    if (format.milliers) {
        for (qsizetype at = euros.size() - 3; at > 0; at -= 3)
            euros.insert(at, QChar(0x00A0));
    }
    QString fraction = QStringLiteral("%1").arg(absolu % echelle, decimales, 10, QLatin1Char('0'));
    if (!format.auCentime) {
        while (fraction.endsWith(QLatin1Char('0')))
            fraction.chop(1);
    }
    QString resultat = (negatif && valeur != 0 ? QStringLiteral("-") : QString()) + euros;
    if (!fraction.isEmpty())
        resultat += QLatin1Char(',') + fraction;
    if (format.symbole)
        resultat += QStringLiteral(" €");
    return resultat;
}

std::optional<Monnaie> Monnaie::depuisTexte(const QString &texte)
{
    QString t = texte;
    t.remove(QChar(0x20AC)).remove(QChar(0x00A0)).remove(QChar(0x202F)).remove(QLatin1Char(' '));
    if (t.isEmpty())
        return Monnaie();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const bool negatif = t.startsWith(QLatin1Char('-'));
    if (negatif || t.startsWith(QLatin1Char('+')))
        t.remove(0, 1);
    const QStringList parties = t.split(QLatin1Char('.'));
    // Digits only on either side: no second sign, no sign inside the decimals.
    const auto chiffres = [](const QString &s) {
        return std::all_of(s.begin(), s.end(),
                           [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    };
    if (parties.size() > 2 || parties.at(0).isEmpty() || !chiffres(parties.at(0)) ||
        (parties.size() == 2 && (!chiffres(parties.at(1)) || parties.at(1).size() > 4)))
        return std::nullopt;
    std::int64_t fraction = 0;
    if (parties.size() == 2)
        fraction = (parties.at(1) + QStringLiteral("0000")).left(4).toLongLong();
    bool ok = false;
    const std::int64_t entier = parties.at(0).toLongLong(&ok);
    // An amount the unit count cannot hold is refused, not wrapped around.
    if (!ok || entier > (std::numeric_limits<std::int64_t>::max() - fraction) / UnitesParEuro)
        return std::nullopt;
    const std::int64_t unites = entier * UnitesParEuro + fraction;
    return Monnaie(negatif ? -unites : unites);
}

} // namespace Movendi::Money
