#include "platform/hd44780.h"

#include "platform/windows1252.h"

namespace Movendi::Platform {

namespace {
constexpr std::uint8_t RegisterSelect = 0x01;
constexpr std::uint8_t Enable = 0x02;
constexpr int LineLength = 40; // DDRAM cells per line in two-line mode
constexpr int SecondLine = 0x40;
} // namespace

Hd44780::Hd44780()
{
    // The power-on reset clears the display.
    m_ddram.fill(0x20);
}

bool Hd44780::write(std::uint8_t portValue)
{
    const bool strobe = portValue & Enable;
    const bool falling = m_strobe && !strobe;
    m_strobe = strobe;
    if (!falling)
        return false;
    const QString before = line(0) + line(1);
    latch(portValue >> 4, portValue & RegisterSelect);
    return before != line(0) + line(1);
}

void Hd44780::latch(std::uint8_t nibble, bool data)
{
    if (m_eightBit) {
        execute(std::uint8_t(nibble << 4), data);
        return;
    }
    if (m_pendingHigh < 0) {
        m_pendingHigh = nibble;
        m_pendingData = data;
        return;
    }
    // The register select of the second half decides, as on the controller.
    const auto value = std::uint8_t((m_pendingHigh << 4) | nibble);
    m_pendingHigh = -1;
    execute(value, data);
}

void Hd44780::execute(std::uint8_t value, bool data)
{
    if (!data) {
        ++m_commands;
        instruction(value);
        return;
    }
    ++m_characters;
    if (m_cgram)
        return; // a user glyph being defined: nothing visible changes
    m_ddram[m_address & 0x7F] = value;
    moveAddress(m_increment);
    if (m_shiftOnWrite)
        m_shift += m_increment ? 1 : -1;
}

void Hd44780::instruction(std::uint8_t v)
{
    if (v & 0x80) {
        m_cgram = false;
        m_address = v & 0x7F;
    } else if (v & 0x40) {
        m_cgram = true;
    } else if (v & 0x20) {
        const bool eightBit = v & 0x10;
        if (eightBit != m_eightBit)
            m_pendingHigh = -1;
        m_eightBit = eightBit;
        m_twoLines = v & 0x08;
    } else if (v & 0x10) {
        const bool right = v & 0x04;
        if (v & 0x08)
            m_shift += right ? 1 : -1;
        else
            moveAddress(right);
    } else if (v & 0x08) {
        m_displayOn = v & 0x04;
    } else if (v & 0x04) {
        m_increment = v & 0x02;
        m_shiftOnWrite = v & 0x01;
    } else if (v & 0x02) {
        m_address = 0;
        m_shift = 0;
        m_cgram = false;
    } else if (v & 0x01) {
        ++m_clears;
        m_ddram.fill(0x20);
        m_address = 0;
        m_shift = 0;
        m_increment = true;
        m_cgram = false;
    }
}

void Hd44780::moveAddress(bool forward)
{
    if (!m_twoLines) {
        m_address = (m_address + (forward ? 1 : 79)) % 80;
        return;
    }
    // Two lines: 0x00-0x27 then 0x40-0x67, each running on into the other.
    const bool second = m_address >= SecondLine;
    int offset = (m_address & 0x3F) + (forward ? 1 : -1);
    bool line2 = second;
    if (offset >= LineLength) {
        offset = 0;
        line2 = !second;
    } else if (offset < 0) {
        offset = LineLength - 1;
        line2 = !second;
    }
    m_address = (line2 ? SecondLine : 0) + offset;
}

char32_t Hd44780::shown(int address) const
{
    const std::uint8_t code = m_ddram[address & 0x7F];
    if (code < 0x20)
        return U'?';
    return windows1252Char(code).unicode();
}

QString Hd44780::line(int index) const
{
    QString text;
    for (int i = 0; i < Columns; ++i) {
        if (!m_displayOn || (index == 1 && !m_twoLines)) {
            text += QLatin1Char(' ');
            continue;
        }
        const int cell = (((i + m_shift) % LineLength) + LineLength) % LineLength;
        text += QChar(char16_t(shown((index == 1 ? SecondLine : 0) + cell)));
    }
    return text;
}

} // namespace Movendi::Platform
