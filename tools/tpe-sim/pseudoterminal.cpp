#include "pseudoterminal.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace Movendi::TpeSim {

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

bool makeRaw(int fd)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

PseudoTerminal::~PseudoTerminal()
{
    removeLink();
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PseudoTerminal::open(Line line)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        m_error = systemError("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        m_error = systemError("grantpt/unlockpt");
        return false;
    }
    const char *name = ptsname(m_master);
    if (!name) {
        m_error = systemError("ptsname");
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        m_error = systemError("open slave");
        return false;
    }
    // Raw before anyone sees the path.
    if (line == Line::Raw && (!makeRaw(m_master) || !makeRaw(m_slave))) {
        m_error = systemError("tcsetattr");
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    return true;
}

QByteArray PseudoTerminal::readAvailable()
{
    QByteArray data;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN, or EIO while nobody holds the slave
    }
    return data;
}

QByteArray PseudoTerminal::read(qsizetype count, int timeoutMs)
{
    QByteArray data = readAvailable();
    const QDeadlineTimer deadline(timeoutMs);
    while (data.size() < count && !deadline.hasExpired()) {
        pollfd ready{m_master, POLLIN, 0};
        if (poll(&ready, 1, int(deadline.remainingTime())) > 0 && (ready.revents & POLLIN))
            data += readAvailable();
    }
    return data;
}

bool PseudoTerminal::write(const QByteArray &bytes)
{
    m_pending += bytes;
    flush();
    return m_pending.isEmpty();
}

void PseudoTerminal::flush()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return; // the line is full; poll for POLLOUT
    }
}

bool PseudoTerminal::createLink(const QString &linkPath)
{
    const QByteArray path = QFile::encodeName(linkPath);
    struct stat info
    {
    };
    if (lstat(path.constData(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            errno = EEXIST;
            m_error = systemError("link path exists and is not a symbolic link");
            return false;
        }
        if (unlink(path.constData()) != 0) {
            m_error = systemError("unlink");
            return false;
        }
    }
    if (symlink(QFile::encodeName(m_slavePath).constData(), path.constData()) != 0) {
        m_error = systemError("symlink");
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

void PseudoTerminal::removeLink()
{
    if (m_linkPath.isEmpty())
        return;
    // Only our own link: another simulator may have taken the name over since.
    const QByteArray path = QFile::encodeName(m_linkPath);
    char target[4096];
    const ssize_t n = readlink(path.constData(), target, sizeof target - 1);
    if (n > 0 && QByteArray(target, n) == QFile::encodeName(m_slavePath))
        unlink(path.constData());
    m_linkPath.clear();
}

} // namespace Movendi::TpeSim
