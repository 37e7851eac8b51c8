#pragma once

#include <QByteArray>

namespace Movendi::PrinterSim {

// A readable rendering of the printer's byte stream, fed as it arrives (a sequence may be split
// between two reads): ESC sequences dropped except the markers "[GRAS]" (ESC ! n, n not 0),
// "[NORMAL]" (ESC ! 0) and "[COUPE]" (ESC i, ESC m); CR LF and lone LF become LF, a lone CR
// and other control bytes but TAB are dropped; text decoded from Windows-1252 to UTF-8.
class TextRenderer
{
public:
    // The UTF-8 text for these bytes; what ends in the middle of a sequence waits for the next.
    QByteArray feed(const QByteArray &bytes);

private:
    enum class State { Text, Escape, EscapeArguments, CarriageReturn };
    void byte(unsigned char b, QByteArray &out);

    State m_state = State::Text;
    unsigned char m_command = 0;
    int m_argumentsLeft = 0;
};

} // namespace Movendi::PrinterSim
