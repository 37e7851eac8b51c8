// libFuzzer target: terminal answers of any content through the parsers, the masking and the
// ticket and report layouts. Links the payment rules only.
#include "payment/banktickets.h"
#include "payment/remittancereport.h"
#include "payment/terminalframe.h"

#include <cstdint>

using namespace Movendi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    switch (data[0] % 3) {
    case 0: {
        const Payment::BankTickets t = Payment::layOutBankTickets(input);
        (void)t;
        break;
    }
    case 1:
        (void)Payment::layOutRemittanceReport(input);
        (void)Payment::evaluateReport(input);
        (void)Payment::evaluateRemittance(input);
        break;
    default: {
        const QString masked = Payment::maskTerminalText(input);
        // Masking keeps the length, so that cutting afterwards cuts where it would have.
        if (masked.size() != input.size())
            __builtin_trap();
        (void)Payment::maskAnswer(input);
        (void)Payment::maskCardNumbersIn(QString::fromLatin1(input));
        (void)Payment::displayText(input);
        (void)Payment::joinBlocks(input, input.mid(int(input.size() / 2)));
        (void)Payment::statedLength(input);
        break;
    }
    }
    return 0;
}
