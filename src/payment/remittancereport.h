#pragma once

#include <QByteArray>
#include <QString>

namespace Movendi::Payment {

// The text of an acquirer's remittance status ("0" to "3"); empty for any other status.
QString acquirerStatusText(const QByteArray &status);

// A request's result code (255 success) and, for a failure, the message to journal.
struct Verdict
{
    int result;
    QString journalMessage;
};

// Remittance answer (request "AJ00204"): 255 when every acquirer remitted, else 1 with both
// acquirers' identifiers and statuses.
Verdict evaluateRemittance(const QByteArray &answer);

// Remittance report answer (request "AJ00203"): 255 when the report can be laid out; 11, 2 or
// 3 with a message for an incomplete remittance, a failed call or no call; 1 otherwise.
Verdict evaluateReport(const QByteArray &answer);

// The report laid out as text, one block per acquirer with its remittances; a field that
// cannot be read leaves out only its own line.
QString layOutRemittanceReport(const QByteArray &answer);

} // namespace Movendi::Payment
