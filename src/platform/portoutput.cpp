#include "platform/portoutput.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace Movendi::Platform {

ParallelPortOutput::ParallelPortOutput(QString device, std::uint16_t base)
    : m_device(std::move(device)), m_base(base)
{
}

ParallelPortOutput::~ParallelPortOutput()
{
    release();
}

bool ParallelPortOutput::claim()
{
    if (m_fd >= 0)
        return true;
    const int fd = ::open(m_device.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        m_error = m_device + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (::ioctl(fd, PPCLAIM) != 0) {
        m_error = m_device + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void ParallelPortOutput::release()
{
    if (m_fd < 0)
        return;
    ::ioctl(m_fd, PPRELEASE);
    ::close(m_fd);
    m_fd = -1;
}

bool ParallelPortOutput::out32(std::uint16_t port, std::uint8_t value)
{
    int request = 0;
    if (port == m_base) {
        request = PPWDATA;
    } else if (port == m_base + 2) {
        request = PPWCONTROL;
    } else {
        m_error = QStringLiteral("adresse de port 0x%1 hors du port parallèle").arg(port, 0, 16);
        return false;
    }
    if (!claim())
        return false;
    unsigned char octet = value;
    if (::ioctl(m_fd, request, &octet) != 0) {
        m_error = m_device + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        release();
        return false;
    }
    return true;
}

SimulatedLcdOutput::SimulatedLcdOutput(QString mirrorFile, std::uint16_t base)
    : m_mirror(std::move(mirrorFile)), m_base(base)
{
}

bool SimulatedLcdOutput::out32(std::uint16_t port, std::uint8_t value)
{
    // Only the data register is wired to the display.
    if (port != m_base)
        return true;
    if (!m_display.write(value) || m_mirror.isEmpty())
        return true;
    QSaveFile file(m_mirror);
    const QString text =
        m_display.line(0) + QLatin1Char('\n') + m_display.line(1) + QLatin1Char('\n');
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        m_error = m_mirror + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

std::unique_ptr<PortOutput> createLcdOutput(const QString &device, const QString &mirrorFile)
{
    if (!device.trimmed().isEmpty())
        return std::make_unique<ParallelPortOutput>(device.trimmed());
    return std::make_unique<SimulatedLcdOutput>(mirrorFile);
}

} // namespace Movendi::Platform
