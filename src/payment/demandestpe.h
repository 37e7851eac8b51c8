#pragma once

#include <QByteArray>

#include <optional>

namespace Movendi::Payment {

// The requests a card sale makes of the terminal. Each returns a small result for the sale
// (named in resultatstpe.h) and journals refusals and faults; nothing is shown to the customer
// except the terminal's own display during the listening phases.

/// Status: 255 a card is in the reader, 1 no card, -400 no line or link failure, -403 security
/// activated, -404 remote activity, -405 terminal not available.
int DemSwi();
/// Solvency of PaymentAmountCents: 255 accepted, 2 refused ("9" or "F"), 1 refused (also an
/// amount the terminal cannot take, refused before anything is sent), 0 link failure (the
/// terminal has been restarted), -700 no line, -704 terminal not available.
int DemVal(bool ecouter);
/// Debit of PaymentAmountCents: 255 recorded (bank tickets built on "0"), 1 refused (also an
/// amount the terminal cannot take), -200 no line, -204 terminal not available.
int DemEnr(bool ecouter);
/// Restart: the restart phase's text, empty when the terminal is not there.
QByteArray DemDemarrage();

/// The amount as the terminal takes it: 8 digits, zero-padded; nothing below 0 or above
/// 99 999 999 cents.
std::optional<QByteArray> montantTerminal(qint64 cents);
/// The request messages; empty when the amount cannot be sent.
QByteArray messageSolvabilite(qint64 cents);
QByteArray messageDebit(qint64 cents);

} // namespace Movendi::Payment
