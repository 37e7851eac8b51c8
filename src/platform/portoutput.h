#pragma once

#include "platform/hd44780.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace Movendi::Platform {

/// Byte output to an I/O port address, as the LCD driver writes its parallel port. The installed
/// output (see installPortOutput) lives until it is replaced.
class PortOutput
{
public:
    virtual ~PortOutput() = default;
    /// Writes value to the port at address port. False, with the reason in errorText(), when the
    /// device refused it or the address is not one of its registers.
    virtual bool out32(std::uint16_t port, std::uint8_t value) = 0;
    virtual QString errorText() const = 0;
};

/// A parallel port through Linux ppdev (/dev/parport0): the base address is the data register,
/// base + 2 the control register. The device is opened and claimed on the first write, and
/// again after a failure.
class ParallelPortOutput final : public PortOutput
{
public:
    explicit ParallelPortOutput(QString device, std::uint16_t base = 0x378);
    ~ParallelPortOutput() override;
    bool out32(std::uint16_t port, std::uint8_t value) override;
    QString errorText() const override { return m_error; }

private:
    bool claim();
    void release();

    QString m_device;
    std::uint16_t m_base;
    int m_fd = -1;
    QString m_error;
};

/// The display wired to the port, simulated: data register writes drive an HD44780 model whose
/// two lines are mirrored, on every change, to a text file (when one is given), each line
/// followed by LF.
class SimulatedLcdOutput final : public PortOutput
{
public:
    explicit SimulatedLcdOutput(QString mirrorFile = {}, std::uint16_t base = 0x378);
    bool out32(std::uint16_t port, std::uint8_t value) override;
    QString errorText() const override { return m_error; }

    const Hd44780 &display() const { return m_display; }
    QString mirrorFile() const { return m_mirror; }

private:
    Hd44780 m_display;
    QString m_mirror;
    std::uint16_t m_base;
    QString m_error;
};

// The LCD's output as configured: the parallel port device when one is named, else the
// simulated display mirrored to mirrorFile.
std::unique_ptr<PortOutput> createLcdOutput(const QString &device, const QString &mirrorFile);

} // namespace Movendi::Platform
