#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace Movendi::Test {

// SIGTERM, then kill when the process has not ended within 3 s.
void stopProcess(QProcess &process);

// A device simulator of the build run as a child process with a temporary folder of its own:
// its standard output and error go to files there (nobody has to read them for it to go on),
// it announces its device on a "MARKER PATH" line, and it is stopped (SIGTERM, then kill) on
// destruction.
class SimulatorProcess
{
public:
    SimulatorProcess() = default;
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess &) = delete;
    SimulatorProcess &operator=(const SimulatorProcess &) = delete;

    // Starts program (a name in the build's bin folder) and waits for its marker line; on
    // failure adds a test failure naming the cause and returns false.
    bool start(const char *program, const QStringList &arguments, const QByteArray &marker,
               int timeoutMs);
    void stop();
    bool isRunning() const;

    QString device() const { return m_device; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString errors() const;

    static QByteArray readAll(const QString &fileName);
    // Polls until done() or the time is up.
    static bool waitUntil(const std::function<bool()> &done, int timeoutMs);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_device;
};

} // namespace Movendi::Test
