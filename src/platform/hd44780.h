#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace Movendi::Platform {

// A two-line, twenty-character HD44780 display wired in 4-bit mode to the data register of a
// parallel port: bits 7-4 carry the data nibble, bit 0 the register select, bit 1 the enable
// strobe; bits 2 and 3 are not wired. It decodes the port values as the controller does: a value
// is latched on the falling edge of the strobe, with the register select of that moment; after
// power-on it takes 8-bit transfers (the unwired low data lines read 0) until a function set
// selects 4 bits, then pairs nibbles high first.
class Hd44780
{
public:
    static constexpr int Columns = 20;

    Hd44780();

    // One value written to the port. Returns true when the visible text changed.
    bool write(std::uint8_t portValue);

    // What each line shows, always 20 characters; blank while the display is off. Character
    // codes are shown as the kiosk means them (Windows-1252); codes below 0x20 are the
    // user-defined glyphs and show as '?'.
    QString line(int index) const;
    bool fourBitMode() const { return !m_eightBit; }
    bool displayOn() const { return m_displayOn; }
    int address() const { return m_address; }
    // Complete instructions and characters taken since power-on.
    int commands() const { return m_commands; }
    int characters() const { return m_characters; }
    int clears() const { return m_clears; }

private:
    void latch(std::uint8_t nibble, bool data);
    void execute(std::uint8_t value, bool data);
    void instruction(std::uint8_t value);
    void moveAddress(bool forward);
    char32_t shown(int address) const;

    std::array<std::uint8_t, 0x80> m_ddram{};
    bool m_strobe = false;
    bool m_eightBit = true;
    bool m_twoLines = false;
    bool m_displayOn = false;
    bool m_increment = true;
    bool m_shiftOnWrite = false;
    bool m_cgram = false;
    int m_shift = 0;
    int m_address = 0;
    int m_pendingHigh = -1; // the first nibble of a 4-bit transfer, -1 when none
    bool m_pendingData = false;
    int m_commands = 0;
    int m_characters = 0;
    int m_clears = 0;
};

} // namespace Movendi::Platform
