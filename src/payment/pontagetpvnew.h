#pragma once

#include <QByteArray>

namespace Movendi::Payment {

// The terminal link: line discipline, frames, waits and the listening phases in which the
// terminal drives the dialogue. Answers are returned as received; "ERR_MESSAGE" is the one
// failure value of the exchanges. Every wait goes through the clock seam.

inline const QByteArray ErrMessage = QByteArrayLiteral("ERR_MESSAGE");
inline constexpr const char *ReglagesTerminal = "9600,N,8,1";

enum class Ecoute { Demarrage, DemVAl, DemEnr, DemTC };

/// Opens the terminal's port if it is not open, then drops what was buffered. False when the
/// port cannot be opened (journalled once until it opens again).
bool OpenTerminalPort();
/// Sends text (and its LRC when addLrc) after dropping unread input, then polls without
/// handling events until expected characters are buffered or timeoutSeconds have passed.
/// Returns everything buffered, limited by the line's input length.
QByteArray SendAndWait(const QByteArray &text, bool addLrc, int expected, int timeoutSeconds);
/// Waits, handling events, until a character is buffered or timeoutSeconds have passed.
QByteArray ReadTerminalChars(int timeoutSeconds);
bool CheckTerminalReady();
/// 1 the line is ours, 0 no line after three tries, -404 the terminal is remitting.
int BidForLine();

QByteArray ExchangeMessage(const QByteArray &message, int &expectedLength, int waitSeconds);
QByteArray ExchangeSizedAnswer(const QByteArray &message, int &answerLength, int waitSeconds);
/// Empty when the frame is refused or the terminal does not take its turn, for the restart
/// phase; "ERR_MESSAGE" for the others.
QByteArray ExchangeAndListen(const QByteArray &message, int expectedLength, int waitSeconds,
                             Ecoute phase);
/// The remittance request without a listening phase: the terminal's stream is read until its
/// answer has come; the stream becomes the merchant ticket text.
QByteArray ExchangeAndReadStream(const QByteArray &message, int waitSeconds);

QByteArray EcouterDemarrage();
QByteArray EcouterDemVAl();
QByteArray EcouterDemEnr();
QByteArray EcouterDemTC();

} // namespace Movendi::Payment
