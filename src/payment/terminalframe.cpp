#include "payment/terminalframe.h"

#include <QList>

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

namespace {

// Shortest card number.
constexpr qsizetype CardDigits = 13;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Masks each run of 13 digits or more; a run also ends before every index in `starts`.
void maskRuns(QString &text, const QList<qsizetype> &starts)
{
    qsizetype i = 0;
    while (i < text.size()) {
        if (!isAsciiDigit(text.at(i))) {
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < text.size() && isAsciiDigit(text.at(end)) && !starts.contains(end))
            ++end;
        if (end - i >= CardDigits)
            text.replace(i, end - i, maskCardNumber(text.mid(i, end - i)));
        i = end;
    }
}

// Whether these digits (positions in text) pass the Luhn check.
bool luhnValid(const QString &text, const QList<qsizetype> &positions, qsizetype from,
               qsizetype count)
{
    int sum = 0;
    for (qsizetype k = 0; k < count; ++k) {
        int d = text.at(positions.at(from + count - 1 - k)).unicode() - '0';
        if (k % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    return sum % 10 == 0;
}

// A card number written in groups ("4970 1012 3456 7893", "4970-1012-3456-7893") or glued to
// other digits: any 13 to 19 digits in a row, single spaces or dashes between them, that pass
// the Luhn check keep only their first six and last four. In an answer whose layout is known the
// digits of two fields are two numbers (`starts`, as for maskRuns).
void maskLuhnRuns(QString &text, const QList<qsizetype> &starts)
{
    qsizetype i = 0;
    while (i < text.size()) {
        if (!isAsciiDigit(text.at(i))) {
            ++i;
            continue;
        }
        QList<qsizetype> digits;
        qsizetype j = i;
        while (j < text.size() && (digits.isEmpty() || !starts.contains(j))) {
            if (isAsciiDigit(text.at(j))) {
                digits << j++;
            } else if ((text.at(j) == QLatin1Char(' ') || text.at(j) == QLatin1Char('-')) &&
                       j + 1 < text.size() && isAsciiDigit(text.at(j + 1))) {
                ++j;
            } else {
                break;
            }
        }
        qsizetype resume = j;
        for (qsizetype from = 0; from + CardDigits <= digits.size(); ++from) {
            qsizetype found = 0;
            for (qsizetype count = CardDigits; count <= 19 && from + count <= digits.size();
                 ++count) {
                if (luhnValid(text, digits, from, count)) {
                    found = count;
                    break;
                }
            }
            if (found == 0)
                continue;
            for (qsizetype k = from + 6; k < from + found - 4; ++k)
                text[digits.at(k)] = QLatin1Char('*');
            // What follows the kept last four is a sequence of its own.
            resume = digits.at(from + found - 4);
            break;
        }
        i = resume;
    }
}

struct AnswerFields
{
    QList<int> starts; // frame positions where a field starts (or the one before ends)
    int cardFrom = 0;  // the card-number field, 0 when the answer has none
    int cardTo = 0;
};

// The fields of the answers the kiosk journals, by their identifier.
AnswerFields fieldsOf(const QByteArray &frame)
{
    const QByteArray id = field(frame, 2, 3);
    if (id == "Ak" || id == "Al") {
        // Solvency and debit answers share the layout of the card and transaction fields.
        return {{7,   8,   10,  18,  21,  67,  73,  79,  99,  119, 139, 141, 148, 162, 176,
                 192, 199, 203, 206, 222, 225, 228, 234, 240, 241, 247, 248, 272, 280},
                176,
                191};
    }
    if (id == "Aj")
        return {{7, 8, 10, 12, 18, 19, 25, 26}, 0, 0};
    return {};
}

} // namespace

QString maskCardNumbersIn(const QString &text)
{
    QString result = text;
    maskRuns(result, {});
    maskLuhnRuns(result, {});
    return result;
}

QString maskAnswer(const QByteArray &frame)
{
    QString text = terminalText(frame);
    const AnswerFields fields = fieldsOf(frame);
    if (fields.cardFrom > 0 && fields.cardFrom <= text.size()) {
        const qsizetype from = fields.cardFrom - 1;
        const qsizetype length =
            qMin<qsizetype>(fields.cardTo - fields.cardFrom + 1, text.size() - from);
        QString card = text.mid(from, length);
        if (length < fields.cardTo - fields.cardFrom + 1) {
            // Cut off: no digit of it can be shown as belonging to a known place.
            for (QChar &c : card) {
                if (isAsciiDigit(c))
                    c = QLatin1Char('*');
            }
        } else {
            card = maskCardNumber(card);
        }
        text.replace(from, length, card);
    }
    QList<qsizetype> starts;
    for (int position : fields.starts)
        starts << position - 1;
    maskRuns(text, starts);
    maskLuhnRuns(text, starts);
    return text;
}

QString maskTerminalText(const QByteArray &raw)
{
    QString out;
    qsizetype i = 0;
    while (i < raw.size()) {
        const qsizetype stx = raw.indexOf(Ctl::STX, i);
        if (stx < 0) {
            out += maskCardNumbersIn(terminalText(raw.mid(i)));
            break;
        }
        out += maskCardNumbersIn(terminalText(raw.mid(i, stx - i)));
        qsizetype end = stx + 1;
        while (end < raw.size() && raw.at(end) != Ctl::ETX && raw.at(end) != Ctl::ETB)
            ++end;
        end = qMin(raw.size(), end + 2); // the end character and the check character
        out += maskAnswer(raw.mid(stx, end - stx));
        i = end;
    }
    return out;
}

} // namespace Movendi::Payment
