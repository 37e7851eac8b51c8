#include "monnaie.h"

#include <QStringList>

namespace Movendi::Startup {

std::int64_t Monnaie::centimes() const
{
    const std::int64_t half = m_unites >= 0 ? 50 : -50;
    return (m_unites + half) / 100;
}

QString Monnaie::texteMonetaire() const
{
    const std::int64_t c = centimes();
    const std::int64_t absolu = c < 0 ? -c : c;
    QString euros = QString::number(absolu / 100);
    for (qsizetype at = euros.size() - 3; at > 0; at -= 3)
        euros.insert(at, QChar(0x00A0));
    return QStringLiteral("%1%2,%3 €")
        .arg(c < 0 ? QStringLiteral("-") : QString(), euros)
        .arg(absolu % 100, 2, 10, QLatin1Char('0'));
}

std::optional<Monnaie> Monnaie::depuisTexte(const QString &texte)
{
    QString t = texte;
    t.remove(QChar(0x20AC)).remove(QChar(0x00A0)).remove(QChar(0x202F)).remove(QLatin1Char(' '));
    if (t.isEmpty())
        return Monnaie();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const bool negatif = t.startsWith(QLatin1Char('-'));
    if (negatif)
        t.remove(0, 1);
    const QStringList parties = t.split(QLatin1Char('.'));
    if (parties.size() > 2 || parties.at(0).isEmpty())
        return std::nullopt;
    bool ok = false;
    const std::int64_t entier = parties.at(0).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    std::int64_t fraction = 0;
    if (parties.size() == 2) {
        const QString f = (parties.at(1) + QStringLiteral("0000")).left(4);
        fraction = f.toLongLong(&ok);
        if (!ok || parties.at(1).size() > 4)
            return std::nullopt;
    }
    const std::int64_t unites = entier * UnitesParEuro + fraction;
    return Monnaie(negatif ? -unites : unites);
}

} // namespace Movendi::Startup
