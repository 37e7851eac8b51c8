#include "remittancereport.h"

#include "banktickets.h"
#include "terminalframe.h"

namespace Movendi::Payment {

namespace {

const QString crlf = QStringLiteral("\r\n");

// Offsets stay small: at most 99 blocks of at most 9 records.
QString text(const QByteArray &answer, int from, int to)
{
    return terminalText(field(answer, from, to));
}

// The number of acquirer blocks (two digits, blanks around them allowed).
std::optional<int> count(const QByteArray &answer, int from, int to)
{
    if (const auto digits = completeNumber(answer, from, to))
        return digits->toInt();
    return std::nullopt;
}

void appendRecord(QString &out, const QByteArray &a, int s)
{
    out += QStringLiteral("No acquereur :") + text(a, s, s + 5) + crlf;
    out += QStringLiteral("No Remise: ") + text(a, s + 6, s + 11) + crlf;
    out += QStringLiteral("Nb Transaction : ") + text(a, s + 12, s + 17) + crlf;
    out += QStringLiteral("MONTANT TRANSACTION = ") + crlf;
    if (const auto digits = completeNumber(a, s + 21, s + 32))
        out += u'\t' + formatCents(*digits).value_or(QString()) + u' ' + text(a, s + 18, s + 20) +
               crlf;
    out += QStringLiteral("Nb Trans non aboutie: ") + text(a, s + 34, s + 39) + crlf;
    out += crlf;
}

} // namespace

QString acquirerStatusText(const QByteArray &status)
{
    if (status == "0")
        return QStringLiteral("télécollecte OK");
    if (status == "1")
        return QStringLiteral("télécollecte incomplète");
    if (status == "2")
        return QStringLiteral("appel erroné ou inefficace");
    if (status == "3")
        return QStringLiteral("pas d’appel");
    return {};
}

Verdict evaluateRemittance(const QByteArray &a)
{
    const QByteArray acquirers = field(a, 10, 11);
    const bool overallOk = charAt(a, 7) == "0" && charAt(a, 18) == "0";
    if (overallOk && (acquirers == "01" || (acquirers == "02" && charAt(a, 25) == "0")))
        return {255, {}};
    const QString second = acquirers == "02" ? acquirerStatusText(charAt(a, 25)) : QString();
    return {1, terminalText(field(a, 12, 17)) + QStringLiteral(" : ") +
                   acquirerStatusText(charAt(a, 18)) + QStringLiteral(" - ") +
                   terminalText(field(a, 19, 24)) + QStringLiteral(" : ") + second};
}

Verdict evaluateReport(const QByteArray &a)
{
    const QByteArray status = charAt(a, 18);
    if (charAt(a, 7) == "0" && status == "0")
        return {255, {}};
    if (status == "1")
        return {11, acquirerStatusText(status)};
    if (status == "2")
        return {2, acquirerStatusText(status)};
    if (status == "3")
        return {3, acquirerStatusText(status)};
    return {1, {}};
}

QString layOutRemittanceReport(const QByteArray &a)
{
    QString out;
    const auto blocks = count(a, 10, 11);
    int o = 0;
    // A block that would start past the answer's end is not there: the layout ends.
    for (int b = 1; blocks && b <= *blocks && o + 12 <= a.size(); ++b) {
        out += text(a, o + 12, o + 17) + crlf;
        out += text(a, o + 22, o + 71) + crlf;
        out += text(a, o + 72, o + 73) + u'/' + text(a, o + 74, o + 75) + u'/' +
               text(a, o + 76, o + 77) + QStringLiteral("  ") + text(a, o + 78, o + 79) + u'h' +
               text(a, o + 80, o + 81) + u'm' + text(a, o + 82, o + 83) + crlf;
        out += text(a, o + 84, o + 90) + crlf;
        out += text(a, o + 91, o + 104) + crlf;
        out += text(a, o + 105, o + 108) + u' ' + text(a, o + 109, o + 110) + u' ' +
               text(a, o + 111, o + 118) + u' ' + text(a, o + 119, o + 121) + crlf;
        out += text(a, o + 122, o + 153) + crlf;
        out += text(a, o + 154, o + 203) + crlf;
        const QByteArray countDigit = charAt(a, o + 204);
        out += QStringLiteral("NB REMISE: ") + terminalText(countDigit) + crlf;
        const bool countRead = isDigits(countDigit);
        const int k = countRead ? countDigit.at(0) - '0' : 0;
        for (int r = 0; r < k; ++r)
            appendRecord(out, a, o + 205 + 40 * r);
        out += crlf;
        // Without its count the next block cannot be found: the layout ends here.
        if (!countRead)
            break;
        o += 40 * k + 193;
    }
    return out;
}

} // namespace Movendi::Payment
