#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Movendi::Payment {

// Control characters of the terminal's line discipline.
namespace Ctl {
inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char EOT = 0x04;
inline constexpr char ENQ = 0x05;
inline constexpr char ACK = 0x06;
inline constexpr char DLE = 0x10;
inline constexpr char NAK = 0x15;
inline constexpr char ETB = 0x17;
} // namespace Ctl

// Longest block on the wire; longer answers come as two blocks.
inline constexpr int MaxBlock = 252;
// Longest answer read as one block.
inline constexpr int MaxSingleBlockAnswer = 248;
// A frame of L data characters: STX, identifier (2), length (3), the data, DLE, ETX, LRC.
inline constexpr int frameLength(int statedLength)
{
    return statedLength + 9;
}
// The second block of an answer of stated length L: what the first block (MaxBlock characters,
// ending DLE ETB LRC) left of the frame, with the second block's own STX.
inline constexpr int secondBlockLength(int statedLength)
{
    return frameLength(statedLength) - MaxBlock + 4;
}

// Positions in an answer frame, counted from 1 at the STX.
namespace Position {
inline constexpr int Identifier = 2; // 2-3
inline constexpr int Length = 4;     // 4-6
inline constexpr int Data = 7;
// Status answer ("Aa").
inline constexpr int Availability = 7;
inline constexpr int CardInReader = 8;
inline constexpr int RemoteActivity = 9;
inline constexpr int Security = 10;
// Solvency ("Ak") and debit ("Al") answers.
inline constexpr int Result = 7;
inline constexpr int DiagnosticFirst = 8; // solvency: 8-9
inline constexpr int DiagnosticLast = 9;
inline constexpr int CardNumberFirst = 176; // debit: 176-191
inline constexpr int CardNumberLast = 191;
} // namespace Position

// One character: the exclusive-or of every character of text after the first (the STX).
QByteArray ComputeLrc(const QByteArray &text);

// "AA" + "000" + data: the message a request hands to the link.
QByteArray buildMessage(const char (&identifier)[3], const QByteArray &data = {});
// STX, message, DLE, ETX, LRC.
QByteArray buildFrame(const QByteArray &message);
// A first block (STX, message part, DLE, ETB, LRC) of a message too long for one block.
QByteArray buildFirstBlock(const QByteArray &messagePart);

// Joins a first block and the second block of an answer: the first less its last three
// characters, the second less its STX.
QByteArray joinBlocks(const QByteArray &first, const QByteArray &second);

// Characters from to to (1-based, inclusive, counted from the STX), cut to what exists.
QByteArray field(const QByteArray &answer, int from, int to);
// One character at position (1-based), or an empty text beyond the end.
QByteArray charAt(const QByteArray &answer, int position);
// The decimal length at characters 4-6, when those three are digits.
std::optional<int> statedLength(const QByteArray &answer);
// True when every character is a decimal digit and there is at least one.
bool isDigits(const QByteArray &text);

// Display frames: "D" at character 2, two 16-character lines at 3-18 and 19-34.
bool isDisplayFrame(const QByteArray &frame);
bool isBlankDisplay(const QByteArray &frame);
QString displayText(const QByteArray &frame); // line 1, "\n", line 2

// A card number with every digit but the first six and the last four replaced by "*";
// numbers shorter than a card number (13 digits) are hidden whole. Other characters are kept in
// place.
QString maskCardNumber(const QString &number);
// The text with every run of 13 digits or more masked as above: a card number alone, or glued
// to other digits.
QString maskCardNumbersIn(const QString &text);
// One answer frame as it may be kept or journalled: the card-number field of the payment
// answers hidden by its position (whole when it arrived cut), and runs of 13 digits or more
// hidden elsewhere, a run ending where one of the answer's fields ends, so that amounts and
// acquirer identifiers, fields of their own, stay readable.
QString maskAnswer(const QByteArray &frame);
// Raw text from the line (frames and loose characters), each frame masked as by maskAnswer.
// Masking keeps the length: cutting comes after.
QString maskTerminalText(const QByteArray &raw);

// A terminal text as shown: each byte is one Latin-1 character.
inline QString terminalText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace Movendi::Payment
