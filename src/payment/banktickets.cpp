#include "payment/banktickets.h"

#include "payment/terminalframe.h"

namespace Movendi::Payment {

namespace {

const QString crlf = QStringLiteral("\r\n");

QString text(const QByteArray &answer, int from, int to)
{
    return terminalText(field(answer, from, to));
}

// Each text ends with CR LF.
QString lines(std::initializer_list<QString> texts)
{
    QString result;
    for (const QString &t : texts)
        result += t + crlf;
    return result;
}

QString transactionDate(const QByteArray &a)
{
    return text(a, 67, 68) + u'/' + text(a, 69, 70) + u'/' + text(a, 71, 72);
}

QString transactionClock(const QByteArray &a)
{
    return text(a, 73, 74) + u':' + text(a, 75, 76) + u':' + text(a, 77, 78);
}

QString amountLine(const QByteArray &a)
{
    // Only a complete amount is printed: a cut-off one would show a wrong sum.
    QString amount;
    if (const auto digits = completeNumber(a, 272, 279))
        amount = formatCents(*digits).value_or(QString());
    return QStringLiteral("MONTANT = ") + amount + QStringLiteral(" EUR");
}

QString referenceFields(const QByteArray &a)
{
    return text(a, 225, 227) + u' ' + text(a, 228, 233) + u' ' + text(a, 234, 239) + u' ' +
           text(a, 240, 240) + u' ' + text(a, 247, 247);
}

std::optional<int> twoDigits(const QByteArray &a, int from)
{
    const QByteArray digits = field(a, from, from + 1);
    if (digits.size() != 2 || !isDigits(digits))
        return std::nullopt;
    return digits.toInt();
}

std::optional<QDateTime> transactionTime(const QByteArray &a)
{
    const auto day = twoDigits(a, 67), month = twoDigits(a, 69), year = twoDigits(a, 71);
    const auto hour = twoDigits(a, 73), minute = twoDigits(a, 75), second = twoDigits(a, 77);
    if (!day || !month || !year || !hour || !minute || !second)
        return std::nullopt;
    const QDate date(2000 + *year, *month, *day);
    const QTime time(*hour, *minute, *second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const QDateTime moment(date, time);
    // A local time that does not exist (skipped by a change to summer time) is not set.
    if (!moment.isValid() || moment.date() != date || moment.time() != time)
        return std::nullopt;
    return moment;
}

} // namespace

std::optional<QByteArray> completeNumber(const QByteArray &answer, int from, int to)
{
    const QByteArray raw = field(answer, from, to);
    if (raw.size() != to - from + 1)
        return std::nullopt;
    const QByteArray digits = raw.trimmed();
    if (!isDigits(digits))
        return std::nullopt;
    return digits;
}

std::optional<QString> formatCents(const QByteArray &digits)
{
    if (!isDigits(digits))
        return std::nullopt;
    // Worked on the text, so any length is exact.
    QByteArray cents = digits;
    qsizetype zeros = 0;
    while (zeros < cents.size() - 1 && cents.at(zeros) == '0')
        ++zeros;
    cents.remove(0, zeros);
    if (cents.size() < 3)
        cents = cents.rightJustified(3, '0');
    return QString::fromLatin1(cents.left(cents.size() - 2)) + u',' +
           QString::fromLatin1(cents.right(2));
}

BankTickets layOutBankTickets(const QByteArray &a)
{
    BankTickets tickets;
    // The card number is cardholder data: neither copy shows it in full.
    const QString maskedCard = maskCardNumber(text(a, 176, 191));
    const QString amount = amountLine(a);

    tickets.merchant = lines({QStringLiteral("CARTE BANCAIRE"), text(a, 17, 41), text(a, 42, 66),
                              transactionDate(a) + QStringLiteral("  ") + transactionClock(a),
                              text(a, 79, 98), text(a, 99, 118), text(a, 119, 138),
                              text(a, 141, 147), text(a, 148, 161), maskedCard,
                              text(a, 201, 202) + u'/' + text(a, 199, 200) + QStringLiteral("   ") +
                                  text(a, 203, 205),
                              text(a, 206, 221), text(a, 222, 224), referenceFields(a),
                              QStringLiteral("AUTO: ") + text(a, 241, 246), QString(), amount,
                              QStringLiteral("DEBIT"), QStringLiteral("TICKET COMMERCANT")}) +
                       QStringLiteral("A CONSERVER");

    tickets.customer = lines({QStringLiteral("CARTE BANCAIRE"), text(a, 17, 41), text(a, 42, 66),
                              QStringLiteral("le ") + transactionDate(a) + QStringLiteral(" a ") +
                                  transactionClock(a),
                              text(a, 79, 98), text(a, 99, 118), text(a, 119, 138),
                              text(a, 141, 147), text(a, 148, 161), maskedCard, text(a, 206, 221),
                              referenceFields(a), QStringLiteral("AUTO: ") + text(a, 241, 246),
                              QString(), amount, QStringLiteral("DEBIT")}) +
                       QStringLiteral("TICKET CLIENT A CONSERVER");

    if (const auto number = completeNumber(a, 234, 239))
        tickets.remittanceNumber = number->toInt();
    tickets.transactionTime = transactionTime(a);
    return tickets;
}

} // namespace Movendi::Payment
