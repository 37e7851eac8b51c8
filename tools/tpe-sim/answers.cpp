#include "answers.h"

#include "payment/terminalframe.h"

namespace Movendi::TpeSim {

namespace Ctl = Payment::Ctl;

namespace {

// Message characters a block carries: a full block is STX, 248 characters, DLE, ETB, LRC.
constexpr int BlockPayload = Payment::MaxBlock - 4;

bool hazardous(char lrc)
{
    return lrc == Ctl::STX || lrc == Ctl::ENQ;
}

// Check characters a careless reader takes for line control, the worst first.
constexpr char Traps[] = {Ctl::STX, Ctl::ENQ, Ctl::ETX, Ctl::ETB,
                          Ctl::EOT, Ctl::DLE, Ctl::ACK, Ctl::NAK};

// Printers print 24 characters a line.
constexpr int PrintWidth = 24;

// A message being laid out by frame positions (1 at the STX, so the identifier is at 2).
class Layout
{
public:
    Layout(const char (&identifier)[3], int length)
        : m_message(Payment::buildMessage(identifier, QByteArray(length, ' ')))
    {
    }
    void put(int position, const QByteArray &text, int width)
    {
        const QByteArray value = text.leftJustified(width, ' ', true);
        for (int i = 0; i < width; ++i) {
            const int index = position - 2 + i;
            if (index >= 5 && index < m_message.size())
                m_message[index] = value.at(i);
        }
    }
    void put(int position, char c) { put(position, QByteArray(1, c), 1); }
    QByteArray message() const { return m_message; }

private:
    QByteArray m_message;
};

// The card number, the card's sequence field (digits, so the three run together as terminals
// pack them) and the expiry.
void putCard(Layout &layout, const CardData &card)
{
    layout.put(176, card.number, 16);
    layout.put(192, "0010000", 7);
    layout.put(199, card.expiry, 4);
}

QByteArray digits(qint64 value, int width)
{
    return QByteArray::number(value).rightJustified(width, '0', true);
}

QByteArray dateDigits(const QDateTime &when)
{
    return when.toString(QStringLiteral("ddMMyy")).toLatin1();
}

QByteArray timeDigits(const QDateTime &when)
{
    return when.toString(QStringLiteral("hhmmss")).toLatin1();
}

} // namespace

QList<QByteArray> toBlocks(Answer answer, CheckCharacters checks, bool wrongLrc)
{
    QList<QByteArray> blocks;
    const QByteArray &message = answer.message;
    const qsizetype count = qMax<qsizetype>(1, (message.size() + BlockPayload - 1) / BlockPayload);
    for (qsizetype b = 0; b < count; ++b) {
        const qsizetype from = b * BlockPayload;
        const bool last = b == count - 1;
        QByteArray part = message.mid(from, last ? -1 : BlockPayload);
        const auto build = [&] {
            return last ? Payment::buildFrame(part) : Payment::buildFirstBlock(part);
        };
        QByteArray block = build();
        // The last filler inside this block steers its check character.
        qsizetype filler = -1;
        for (int position : answer.fillers) {
            const qsizetype index = position - 2 - from;
            if (index >= 0 && index < part.size())
                filler = index;
        }
        if (filler >= 0 && checks == CheckCharacters::Gentle) {
            for (char candidate : QByteArray(" .-*")) {
                if (!hazardous(block.back()))
                    break;
                part[filler] = candidate;
                block = build();
            }
        } else if (filler >= 0 && checks == CheckCharacters::Hazardous) {
            // Changing one character moves the check character by the same exclusive-or.
            for (char trap : Traps) {
                const char candidate = char(block.back() ^ part.at(filler) ^ trap);
                if (uchar(candidate) >= 0x20 && uchar(candidate) < 0x7f) {
                    part[filler] = candidate;
                    block = build();
                    break;
                }
            }
        }
        if (wrongLrc) {
            const char good = block.back();
            for (char flip : {char(0x20), char(0x40), char(0x60)}) {
                block.back() = char(good ^ flip);
                if (!hazardous(block.back()))
                    break;
            }
        }
        blocks.append(block);
    }
    return blocks;
}

QByteArray displayMessage(const QByteArray &line1, const QByteArray &line2)
{
    return "D" + line1.leftJustified(16, ' ', true) + line2.leftJustified(16, ' ', true);
}

QByteArray blankDisplayMessage()
{
    return displayMessage({}, {});
}

QByteArray printMessage(const QByteArray &text)
{
    return "P" + text.leftJustified(PrintWidth, ' ', true) + "\r\n";
}

QList<int> paddingFillers(const QByteArray &message)
{
    // The blank display must stay blank: the kiosk waits for it after an answer.
    if (message == blankDisplayMessage())
        return {};
    // Display: end of line 2, else of line 1. Print line: the character before CR LF.
    const QList<qsizetype> candidates =
        message.startsWith('D') ? QList<qsizetype>{32, 16} : QList<qsizetype>{message.size() - 3};
    for (qsizetype index : candidates) {
        if (index > 0 && index < message.size() && message.at(index) == ' ')
            return {int(index) + 2};
    }
    return {};
}

QByteArray euros(qint64 cents)
{
    return QByteArray::number(cents / 100) + ',' + digits(cents % 100, 2);
}

QByteArray displayAmount(qint64 cents)
{
    return euros(cents) + " E";
}

QByteArray amountLine(qint64 cents)
{
    const QByteArray amount = displayAmount(cents);
    const QByteArray label = amount.size() <= 8 ? "MONTANT" : "MT";
    return label + amount.rightJustified(16 - label.size(), ' ');
}

Answer statusAnswer(char availability, bool cardPresent, char remoteActivity, char security)
{
    Layout layout("Aa", 4);
    layout.put(7, availability);
    layout.put(8, cardPresent ? '1' : '0');
    layout.put(9, remoteActivity);
    layout.put(10, security);
    return {layout.message(), {}};
}

Answer solvencyAnswer(char result, const QByteArray &diagnostic, const QByteArray &amount,
                      const CardData &card)
{
    // 313 data characters: the answer is 322 characters long and goes in two blocks.
    Layout layout("Ak", 313);
    layout.put(7, result);
    layout.put(8, diagnostic, 2);
    layout.put(10, amount, 8);
    layout.put(18, "978", 3);
    putCard(layout, card);
    return {layout.message(), {249, 319}};
}

Answer debitAnswer(const DebitDetails &d)
{
    // 355 data characters: 364 in all, two blocks.
    Layout layout("Al", 355);
    layout.put(7, d.result);
    layout.put(8, "00", 2);
    layout.put(17, "MOVENDI BORNE 01", 25);
    layout.put(42, "75001 PARIS", 25);
    layout.put(67, dateDigits(d.when), 6);
    layout.put(73, timeDigits(d.when), 6);
    layout.put(79, "A0000000421010", 20);
    layout.put(99, "CB", 20);
    layout.put(119, "CONTACT", 20);
    layout.put(141, "1234567", 7);
    layout.put(148, "00000012345678", 14);
    putCard(layout, d.card);
    layout.put(203, "001", 3);
    layout.put(206, "DEBIT", 16);
    layout.put(222, "978", 3);
    layout.put(225, "001", 3);
    layout.put(228, digits(d.transactionNumber, 6), 6);
    layout.put(234, digits(d.remittanceNumber, 6), 6);
    layout.put(240, 'C');
    layout.put(241, d.authorisation, 6);
    layout.put(247, '1');
    layout.put(272, d.amount, 8);
    return {layout.message(), {249, 361}};
}

void setContinuationStart(Answer &answer, char letter)
{
    // Frame position 250 is message index 248, the first one of the second block.
    constexpr int Position = 250;
    if (answer.message.size() > Position - 2) {
        answer.message[Position - 2] = letter;
        answer.fillers.removeAll(Position);
    }
}

Answer restartAnswer()
{
    Layout layout("Au", 3);
    layout.put(7, "000", 3);
    return {layout.message(), {}};
}

Answer remittanceAnswer(char result, const QList<AcquirerResult> &acquirers)
{
    const bool two = acquirers.size() >= 2;
    Layout layout("Aj", two ? 19 : 12);
    layout.put(7, result);
    layout.put(8, "00", 2);
    layout.put(10, two ? "02" : "01", 2);
    if (!acquirers.isEmpty()) {
        layout.put(12, acquirers.at(0).identifier, 6);
        layout.put(18, acquirers.at(0).status);
    }
    if (two) {
        layout.put(19, acquirers.at(1).identifier, 6);
        layout.put(25, acquirers.at(1).status);
    }
    return {layout.message(), {}};
}

Answer reportAnswer(char result, const QDateTime &when, const QList<ReportBlock> &blocks)
{
    // Block offsets: each block takes 193 characters plus 40 per remittance record.
    int end = 11;
    for (const ReportBlock &block : blocks)
        end += 193 + 40 * int(block.records.size());
    Layout layout("Aj", end - 6);
    QList<int> fillers;
    layout.put(7, result);
    layout.put(8, "00", 2);
    layout.put(10, digits(blocks.size(), 2), 2);
    int o = 0;
    for (const ReportBlock &block : blocks) {
        layout.put(o + 12, block.identifier, 6);
        layout.put(o + 18, block.status);
        fillers << o + 19 << o + 20 << o + 21;
        layout.put(o + 22, block.name, 50);
        layout.put(o + 72, dateDigits(when) + timeDigits(when), 12);
        layout.put(o + 84, "CONTRAT", 7);
        layout.put(o + 91, "00000012345678", 14);
        layout.put(o + 105, "0001", 4);
        layout.put(o + 109, "01", 2);
        layout.put(o + 111, "12345678", 8);
        layout.put(o + 119, "978", 3);
        layout.put(o + 122, "TELECOLLECTE", 32);
        layout.put(o + 154, "FIN DE TELECOLLECTE", 50);
        layout.put(o + 204, char('0' + block.records.size()));
        for (int r = 0; r < block.records.size(); ++r) {
            const RemittanceRecord &rec = block.records.at(r);
            const int s = o + 205 + 40 * r;
            layout.put(s, rec.acquirerNumber, 6);
            layout.put(s + 6, digits(rec.remittanceNumber, 6), 6);
            layout.put(s + 12, digits(rec.transactions, 6), 6);
            // The report names the currency by its letters, as the remittance print-out does.
            layout.put(s + 18, "EUR", 3);
            layout.put(s + 21, digits(rec.cents, 12), 12);
            fillers << s + 33;
            layout.put(s + 34, digits(rec.failed, 6), 6);
        }
        o += 193 + 40 * int(block.records.size());
    }
    return {layout.message(), fillers};
}

} // namespace Movendi::TpeSim
