#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace Movendi::Payment {

// The two copies of the bank-card ticket of a recorded debit, and what else the debit answer
// tells the kiosk.
struct BankTickets
{
    QString merchant;
    QString customer;
    std::optional<int> remittanceNumber;      // characters 234-239, when numeric
    std::optional<QDateTime> transactionTime; // the terminal's date and time, local
};

// Lays out both copies from a debit answer ("Al"). Missing or malformed fields are left empty;
// the card number is shown masked on both copies.
BankTickets layOutBankTickets(const QByteArray &debitAnswer);

// An amount in cents as "###0.00" with a decimal comma; nothing unless digits is all digits.
std::optional<QString> formatCents(const QByteArray &digits);

// The field from to to (1-based) as a number, only when it is complete and, blanks around it
// aside, all digits; a cut-off field would read as a wrong value.
std::optional<QByteArray> completeNumber(const QByteArray &answer, int from, int to);

} // namespace Movendi::Payment
