// libFuzzer target: terminal answers of any content through the parsers, the masking and the
// ticket and report layouts. Links the payment rules only.
#include "payment/banktickets.h"
#include "payment/remittancereport.h"
#include "payment/terminalframe.h"

#include <cstdint>

using namespace Movendi;

namespace {

// Whether some 13 to 19 digits in a row of the text, single spaces or dashes between them,
// pass the Luhn check: a card number that survived.
bool carteEnClair(const QString &texte)
{
    QList<int> chiffres; // the current sequence's digits
    const auto verifier = [&] {
        for (qsizetype debut = 0; debut + 13 <= chiffres.size(); ++debut)
            for (qsizetype n = 13; n <= 19 && debut + n <= chiffres.size(); ++n) {
                int somme = 0;
                for (qsizetype k = 0; k < n; ++k) {
                    int d = chiffres.at(debut + n - 1 - k);
                    if (k % 2 == 1)
                        d = d * 2 > 9 ? d * 2 - 9 : d * 2;
                    somme += d;
                }
                if (somme % 10 == 0)
                    return true;
            }
        return false;
    };
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const QChar c = texte.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            chiffres << c.unicode() - '0';
            continue;
        }
        const bool separateur = (c == QLatin1Char(' ') || c == QLatin1Char('-')) &&
                                !chiffres.isEmpty() && i + 1 < texte.size() &&
                                texte.at(i + 1) >= QLatin1Char('0') &&
                                texte.at(i + 1) <= QLatin1Char('9');
        if (separateur)
            continue;
        if (verifier())
            return true;
        chiffres.clear();
    }
    return verifier();
}

} // namespace

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
        // No card number comes out of loose text readable, glued, spaced or dashed (inside an
        // answer the digits of two fields are two numbers).
        if ((!input.contains('\x02') && carteEnClair(masked)) ||
            carteEnClair(Payment::maskCardNumbersIn(QString::fromLatin1(input))))
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
