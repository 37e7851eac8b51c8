#pragma once

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
// DLE ETB and a last one ending in DLE ETX. A filler in each block is chosen so that the
// block's check character is neither STX nor ENQ, which the kiosk would take for the start
// of a frame or a line bid. With wrongLrc every check character is made wrong instead.
QList<QByteArray> toBlocks(Answer answer, bool wrongLrc = false);

// "D" and two display lines of 16 characters, cut or padded.
QByteArray displayMessage(const QByteArray &line1, const QByteArray &line2 = {});
QByteArray blankDisplayMessage();
QByteArray printMessage(const QByteArray &text);
// "12,50" from cents; "12,50 E" as the display shows it.
QByteArray euros(qint64 cents);
QByteArray displayAmount(qint64 cents);
QByteArray amountLine(qint64 cents);

Answer statusAnswer(char availability, bool cardPresent, char remoteActivity, char security);
Answer solvencyAnswer(char result, const QByteArray &diagnostic, const QByteArray &amount);

struct DebitDetails
{
    char result = '0';
    QDateTime when;
    QByteArray amount;     // 8 digits, as requested
    QByteArray cardNumber; // 16
    QByteArray expiry;     // yymm
    int transactionNumber = 1;
    int remittanceNumber = 1;
    QByteArray authorisation; // 6
};
Answer debitAnswer(const DebitDetails &details);

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
