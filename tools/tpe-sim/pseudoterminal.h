#pragma once

#include <QByteArray>
#include <QString>

namespace Movendi::TpeSim {

// The device's end of a pseudo-terminal pair. The slave side is held open too, so the kiosk may
// close and reopen its port without the master seeing a hang-up.
class PseudoTerminal
{
public:
    // Raw is how a device's line behaves: no echo, no line editing, no CR/LF translation.
    // SystemDefault leaves the line as the system makes it, for a test that checks who sets it
    // up.
    enum class Line { Raw, SystemDefault };

    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // False with errorText() set when the pair cannot be made.
    bool open(Line line = Line::Raw);
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }
    QString errorText() const { return m_error; }

    // Reads what is there without blocking; empty when nothing is.
    QByteArray readAvailable();
    // Waits until at least count bytes have come or timeoutMs has passed; all that came.
    QByteArray read(qsizetype count, int timeoutMs);
    // Queues bytes and writes as much as the line takes now; true when nothing is left queued.
    bool write(const QByteArray &bytes);
    // Writes more of the queue; call when the master is writable.
    void flush();
    bool hasPendingOutput() const { return !m_pending.isEmpty(); }

    // A symbolic link to the slave; an existing symbolic link there is replaced, anything else
    // is refused. The link is removed again on destruction.
    bool createLink(const QString &linkPath);

private:
    void removeLink();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
    QString m_error;
    QByteArray m_pending;
};

} // namespace Movendi::TpeSim
