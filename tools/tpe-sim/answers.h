#pragma once

#include "scenario.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

namespace Movendi::TpeSim {

// A message (identifier, length, data) and the positions of its filler characters, which the
// block builder may change to keep check characters harmless.
struct Answer
{
    QByteArray message;
    QList<int> fillers; // frame positions, 1 at the STX
};

// The wire blocks of a message: one frame when it fits in a block, else blocks ending in
// DLE ETB and a last one ending in DLE ETX. The last filler of each block may be changed to
// steer the block's check character: away from STX and ENQ (Gentle) or onto a control
// character (Hazardous), so that a reader that confuses check characters with control
// characters shows it. With wrongLrc every check character is made wrong instead.
QList<QByteArray> toBlocks(Answer answer, CheckCharacters checks = CheckCharacters::Natural,
                           bool wrongLrc = false);

// "D" and two display lines of 16 characters, cut or padded.
QByteArray displayMessage(const QByteArray &line1, const QByteArray &line2 = {});
QByteArray blankDisplayMessage();
// "P", the line padded to the printer's width, CR LF.
QByteArray printMessage(const QByteArray &text);
// The fillers of a display or print message: its trailing padding.
QList<int> paddingFillers(const QByteArray &message);
// "12,50" from cents; "12,50 E" as the display shows it.
QByteArray euros(qint64 cents);
QByteArray displayAmount(qint64 cents);
QByteArray amountLine(qint64 cents);

Answer statusAnswer(char availability, bool cardPresent, char remoteActivity, char security);

// The card as the reader read it; both payment answers carry it.
struct CardData
{
    QByteArray number; // 16 digits, at 176-191
    QByteArray expiry; // yymm, at 199-202
};
Answer solvencyAnswer(char result, const QByteArray &diagnostic, const QByteArray &amount,
                      const CardData &card);

struct DebitDetails
{
    char result = '0';
    QDateTime when;
    QByteArray amount; // 8 digits, as requested
    CardData card;
    int transactionNumber = 1;
    int remittanceNumber = 1;
    QByteArray authorisation; // 6
};
Answer debitAnswer(const DebitDetails &details);

// The first character of a payment answer's second block (frame position 250), set to letter.
void setContinuationStart(Answer &answer, char letter);

Answer restartAnswer();

struct AcquirerResult
{
    QByteArray identifier; // 6
    char status = '0';
};
Answer remittanceAnswer(char result, const QList<AcquirerResult> &acquirers);

struct RemittanceRecord
{
    QByteArray acquirerNumber; // 6
    int remittanceNumber = 1;
    int transactions = 0;
    qint64 cents = 0;
    int failed = 0;
};
struct ReportBlock
{
    QByteArray identifier; // 6
    char status = '0';
    QByteArray name;
    QList<RemittanceRecord> records;
};
Answer reportAnswer(char result, const QDateTime &when, const QList<ReportBlock> &blocks);

} // namespace Movendi::TpeSim
