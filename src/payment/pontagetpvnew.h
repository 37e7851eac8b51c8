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
/// 1 the line is ours, 0 no line after three tries (or a terminal that keeps it a minute),
/// -404 the terminal is remitting. Each bid starts on a quiet line.
int BidForLine();

/// The answer read by its expected length (two blocks above 248); a block read stops once its
/// end has come.
QByteArray ExchangeMessage(const QByteArray &message, int &expectedLength, int waitSeconds);
/// The answer read by the length it states, block after block.
QByteArray ExchangeSizedAnswer(const QByteArray &message, int &answerLength, int waitSeconds);
/// Empty when the frame is refused or the terminal does not take its turn, for the restart
/// phase; "ERR_MESSAGE" for the others.
QByteArray ExchangeAndListen(const QByteArray &message, int expectedLength, int waitSeconds,
                             Ecoute phase);
/// The remittance request without a listening phase: the terminal's stream is read until its
/// answer has come; the stream becomes the merchant ticket text.
QByteArray ExchangeAndReadStream(const QByteArray &message, int waitSeconds);

/// The listening phases: the terminal's frames are acknowledged as they come and sorted into
/// displays (shown), print lines (remittance: into the merchant ticket text, card numbers
/// masked) and the answer, whose blocks are joined whatever comes between them; a block sent
/// twice counts once, any other frame is not the answer. A payment phase ends once the whole
/// answer has come and the last display seen outside its blocks is the cleared one, whichever
/// came first, or after 5 minutes; the remittance phase at the first display after its answer,
/// after 10 minutes of silence or 30 minutes in all; the restart phase at the fifth EOT or after 5
/// minutes. The rest of a turn is acknowledged until the terminal's EOT, so that the next exchange
/// finds a quiet line.
QByteArray EcouterDemarrage();
QByteArray EcouterDemVAl();
QByteArray EcouterDemEnr();
QByteArray EcouterDemTC();

} // namespace Movendi::Payment
