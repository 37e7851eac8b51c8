#include "rendering.h"

#include "platform/windows1252.h"

#include <QString>

namespace Movendi::PrinterSim {

namespace {

constexpr unsigned char Esc = 0x1B;
constexpr unsigned char Cr = 0x0D;
constexpr unsigned char Lf = 0x0A;
constexpr unsigned char Tab = 0x09;

// Argument bytes of the ESC commands of ESC/POS-like printers; others take none.
int argumentCount(unsigned char command)
{
    switch (command) {
    case '!':
    case '-':
    case '3':
    case 'E':
    case 'G':
    case 'J':
    case 'M':
    case 'R':
    case 'a':
    case 'd':
    case 't':
    case '{':
        return 1;
    case 'p':
        return 3;
    default:
        return 0;
    }
}

} // namespace

QByteArray TextRenderer::feed(const QByteArray &bytes)
{
    QByteArray out;
    for (const char c : bytes)
        byte(static_cast<unsigned char>(c), out);
    return out;
}

void TextRenderer::byte(unsigned char b, QByteArray &out)
{
    switch (m_state) {
    case State::Escape:
        m_command = b;
        m_argumentsLeft = argumentCount(b);
        if (b == 'i' || b == 'm')
            out += "[COUPE]";
        m_state = m_argumentsLeft > 0 ? State::EscapeArguments : State::Text;
        return;
    case State::EscapeArguments:
        if (m_command == '!')
            out += b == 0 ? "[NORMAL]" : "[GRAS]";
        m_state = --m_argumentsLeft > 0 ? State::EscapeArguments : State::Text;
        return;
    case State::CarriageReturn:
        m_state = State::Text;
        if (b == Lf) {
            out += '\n';
            return;
        }
        break; // a lone CR: dropped, this byte is handled as any other
    case State::Text:
        break;
    }
    if (b == Esc) {
        m_state = State::Escape;
    } else if (b == Cr) {
        m_state = State::CarriageReturn;
    } else if (b == Lf || b == Tab) {
        out += char(b);
    } else if (b >= 0x20 && b != 0x7F) {
        out += QString(Platform::windows1252Char(b)).toUtf8();
    }
}

} // namespace Movendi::PrinterSim
