#include "terminalframe.h"

namespace Movendi::Payment {

QByteArray ComputeLrc(const QByteArray &text)
{
    char lrc = 0;
    for (qsizetype i = 1; i < text.size(); ++i)
        lrc = char(lrc ^ text.at(i));
    return QByteArray(1, lrc);
}

QByteArray buildMessage(const char (&identifier)[3], const QByteArray &data)
{
    return QByteArray(identifier, 2) + QByteArray::number(data.size()).rightJustified(3, '0') +
           data;
}

QByteArray buildFrame(const QByteArray &message)
{
    QByteArray frame = Ctl::STX + message + Ctl::DLE + Ctl::ETX;
    return frame + ComputeLrc(frame);
}

QByteArray buildFirstBlock(const QByteArray &messagePart)
{
    QByteArray block = Ctl::STX + messagePart + Ctl::DLE + Ctl::ETB;
    return block + ComputeLrc(block);
}

QByteArray joinBlocks(const QByteArray &first, const QByteArray &second)
{
    return first.left(qMax<qsizetype>(0, first.size() - 3)) + second.mid(1);
}

QByteArray field(const QByteArray &answer, int from, int to)
{
    if (from < 1 || to < from || from > answer.size())
        return {};
    return answer.mid(from - 1, to - from + 1);
}

QByteArray charAt(const QByteArray &answer, int position)
{
    return field(answer, position, position);
}

bool isDigits(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::optional<int> statedLength(const QByteArray &answer)
{
    const QByteArray digits = field(answer, 4, 6);
    if (digits.size() != 3 || !isDigits(digits))
        return std::nullopt;
    return digits.toInt();
}

bool isDisplayFrame(const QByteArray &frame)
{
    return charAt(frame, 2) == "D";
}

bool isBlankDisplay(const QByteArray &frame)
{
    return field(frame, 2, 34) == QByteArray("D") + QByteArray(32, ' ');
}

QString displayText(const QByteArray &frame)
{
    return terminalText(field(frame, 3, 18)) + QLatin1Char('\n') +
           terminalText(field(frame, 19, 34));
}

QString maskCardNumber(const QString &number)
{
    qsizetype digits = 0;
    for (QChar c : number)
        digits += c.isDigit() ? 1 : 0;
    // A cut-off number would show other digits than the last four: hide it whole.
    const bool hideAll = digits < 13;
    QString masked = number;
    qsizetype seen = 0;
    for (QChar &c : masked) {
        if (!c.isDigit())
            continue;
        ++seen;
        if (hideAll || (seen > 6 && seen <= digits - 4))
            c = QLatin1Char('*');
    }
    return masked;
}

QString maskCardNumbersIn(const QString &text)
{
    QString result = text;
    qsizetype i = 0;
    while (i < result.size()) {
        if (!result.at(i).isDigit()) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < result.size() && result.at(end).isDigit())
            ++end;
        if (end - i >= 13 && end - i <= 19)
            result.replace(i, end - i, maskCardNumber(result.mid(i, end - i)));
        i = end;
    }
    return result;
}

} // namespace Movendi::Payment
