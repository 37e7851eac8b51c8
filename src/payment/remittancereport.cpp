#include "payment/remittancereport.h"

#include "payment/banktickets.h"
#include "payment/resultatstpe.h"
#include "payment/terminalframe.h"

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

// The last position that holds data: a whole frame's closing DLE, ETX and check character
// belong to no field.
int dataEnd(const QByteArray &a)
{
    const qsizetype n = a.size();
    if (n >= 3 && a.at(n - 3) == Ctl::DLE && a.at(n - 2) == Ctl::ETX)
        return int(n - 3);
    return int(n);
}

// Lays out lines whose fields all arrived; a field cut off or missing leaves out its line.
class ReportWriter
{
public:
    explicit ReportWriter(const QByteArray &answer) : m_a(answer), m_end(dataEnd(answer)) {}

    bool complete(int to) const { return to <= m_end; }
    void line(const QString &label, int from, int to)
    {
        if (complete(to))
            m_out += label + text(m_a, from, to) + crlf;
    }
    void raw(const QString &line) { m_out += line + crlf; }
    const QByteArray &answer() const { return m_a; }
    QString result() const { return m_out; }

private:
    const QByteArray &m_a;
    int m_end;
    QString m_out;
};

void appendRecord(ReportWriter &w, int s)
{
    w.line(QStringLiteral("No acquereur :"), s, s + 5);
    w.line(QStringLiteral("No Remise: "), s + 6, s + 11);
    w.line(QStringLiteral("Nb Transaction : "), s + 12, s + 17);
    w.raw(QStringLiteral("MONTANT TRANSACTION = "));
    if (w.complete(s + 32)) {
        if (const auto digits = completeNumber(w.answer(), s + 21, s + 32))
            w.raw(u'\t' + formatCents(*digits).value_or(QString()) + u' ' +
                  text(w.answer(), s + 18, s + 20));
    }
    w.line(QStringLiteral("Nb Trans non aboutie: "), s + 34, s + 39);
    w.raw(QString());
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
        return {Resultat::Ok, {}};
    const QString second = acquirers == "02" ? acquirerStatusText(charAt(a, 25)) : QString();
    return {Resultat::TelecollecteIncomplete,
            terminalText(field(a, 12, 17)) + QStringLiteral(" : ") +
                acquirerStatusText(charAt(a, 18)) + QStringLiteral(" - ") +
                terminalText(field(a, 19, 24)) + QStringLiteral(" : ") + second};
}

Verdict evaluateReport(const QByteArray &a)
{
    const QByteArray status = charAt(a, 18);
    if (charAt(a, 7) == "0" && status == "0")
        return {Resultat::Ok, {}};
    if (status == "1")
        return {Resultat::RapportTelecollecteIncomplete, acquirerStatusText(status)};
    if (status == "2")
        return {Resultat::RapportAppelErrone, acquirerStatusText(status)};
    if (status == "3")
        return {Resultat::RapportSansAppel, acquirerStatusText(status)};
    return {Resultat::RapportEchec, {}};
}

QString layOutRemittanceReport(const QByteArray &a)
{
    ReportWriter w(a);
    const auto blocks = count(a, 10, 11);
    int o = 0;
    // Every announced block, whatever arrived of it.
    for (int b = 1; blocks && b <= *blocks; ++b) {
        w.line({}, o + 12, o + 17);
        w.line({}, o + 22, o + 71);
        if (w.complete(o + 83))
            w.raw(text(a, o + 72, o + 73) + u'/' + text(a, o + 74, o + 75) + u'/' +
                  text(a, o + 76, o + 77) + QStringLiteral("  ") + text(a, o + 78, o + 79) + u'h' +
                  text(a, o + 80, o + 81) + u'm' + text(a, o + 82, o + 83));
        w.line({}, o + 84, o + 90);
        w.line({}, o + 91, o + 104);
        if (w.complete(o + 121))
            w.raw(text(a, o + 105, o + 108) + u' ' + text(a, o + 109, o + 110) + u' ' +
                  text(a, o + 111, o + 118) + u' ' + text(a, o + 119, o + 121));
        w.line({}, o + 122, o + 153);
        w.line({}, o + 154, o + 203);
        w.line(QStringLiteral("NB REMISE: "), o + 204, o + 204);
        const QByteArray countDigit = w.complete(o + 204) ? charAt(a, o + 204) : QByteArray();
        const bool countRead = isDigits(countDigit);
        const int k = countRead ? countDigit.at(0) - '0' : 0;
        for (int r = 0; r < k; ++r)
            appendRecord(w, o + 205 + 40 * r);
        w.raw(QString());
        // A count that arrived but cannot be read leaves the next block nowhere to be found.
        if (w.complete(o + 204) && !countRead)
            break;
        o += 40 * k + 193;
    }
    return w.result();
}

} // namespace Movendi::Payment
