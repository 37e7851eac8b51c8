#pragma once

#include <QByteArray>

#include <optional>

namespace Movendi::Payment {

// The requests a card sale makes of the terminal are LiaisonTerminal's (pontagetpvnew.h):
// DemSwi, DemVal, DemEnr, DemDemarrage. Here, what their messages are made of.

/// The amount as the terminal takes it: 8 digits, zero-padded; nothing below 0 or above
/// 99 999 999 cents.
std::optional<QByteArray> montantTerminal(qint64 cents);
/// The request messages; empty when the amount cannot be sent.
QByteArray messageSolvabilite(qint64 cents);
QByteArray messageDebit(qint64 cents);

} // namespace Movendi::Payment
