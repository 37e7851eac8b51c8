#include "eventjournal.h"

#include "payment/terminalframe.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Movendi::TpeSim {

namespace Ctl = Payment::Ctl;

QString hexByte(char byte)
{
    return QStringLiteral("<%1>").arg(uint(uchar(byte)), 2, 16, QLatin1Char('0')).toUpper();
}

QString readable(const QByteArray &bytes)
{
    QString text;
    for (char c : bytes) {
        switch (c) {
        case Ctl::STX:
            text += QLatin1String("<STX>");
            break;
        case Ctl::ETX:
            text += QLatin1String("<ETX>");
            break;
        case Ctl::EOT:
            text += QLatin1String("<EOT>");
            break;
        case Ctl::ENQ:
            text += QLatin1String("<ENQ>");
            break;
        case Ctl::ACK:
            text += QLatin1String("<ACK>");
            break;
        case Ctl::DLE:
            text += QLatin1String("<DLE>");
            break;
        case Ctl::NAK:
            text += QLatin1String("<NAK>");
            break;
        case Ctl::ETB:
            text += QLatin1String("<ETB>");
            break;
        default:
            if (uchar(c) >= 0x20 && uchar(c) < 0x7f)
                text += QLatin1Char(c);
            else
                text += hexByte(c);
        }
    }
    return text;
}

EventJournal::EventJournal(const QString &fileName)
{
    if (!fileName.isEmpty())
        m_fd = ::open(QFile::encodeName(fileName).constData(),
                      O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

EventJournal::~EventJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void EventJournal::write(const QString &line)
{
    if (m_inMemory)
        m_lines.append(line);
    if (m_fd < 0)
        return;
    // One write per line: with O_APPEND a reader never sees half a line.
    const QByteArray bytes = line.toUtf8() + '\n';
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

} // namespace Movendi::TpeSim
