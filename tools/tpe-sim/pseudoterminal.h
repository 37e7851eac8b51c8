#pragma once

#include <QByteArray>
#include <QString>

namespace Movendi::TpeSim {

// The terminal's end of a pseudo-terminal pair in raw mode. The slave side is held open too,
// so the kiosk may close and reopen its port without the master seeing a hang-up.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // False with errorText() set when the pair cannot be made.
    bool open();
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }
    QString errorText() const { return m_error; }

    // Reads what is there without blocking; empty when nothing is.
    QByteArray readAvailable();
    // Queues bytes and writes as much as the line takes now.
    void write(const QByteArray &bytes);
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
