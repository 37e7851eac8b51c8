#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace Movendi::Test {

// A helper program (a device simulator, a server) run as a child process with a temporary
// folder of its own: its standard output and error go to files there (nobody has to read them
// for it to go on), it says it is ready on a line of its standard output, and it is stopped
// (SIGTERM, then kill when it has not ended within 3 s) on destruction.
class HelperProcess
{
public:
    // name: what the test failures call it.
    explicit HelperProcess(const char *name) : m_name(name) {}
    ~HelperProcess();
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;

    // Starts program and waits for its ready line: the first one holding marker, or its first
    // line when marker is empty. On failure adds a test failure naming the cause and returns
    // false.
    bool start(const QString &program, const QStringList &arguments, const QByteArray &marker,
               int timeoutMs);
    // One of the tests' servers in Python (a script of this folder) on the system interpreter,
    // whose Debian packages it needs; its ready line is its port on 127.0.0.1. The port, or 0
    // with a test failure.
    quint16 startServer(const char *script, const QStringList &arguments);
    void stop();
    bool isRunning() const;

    // What followed the marker on the ready line, trimmed.
    QString readyText() const { return m_readyText; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString errors() const;

    static QByteArray readAll(const QString &fileName);
    // Polls until done() or the time is up.
    static bool waitUntil(const std::function<bool()> &done, int timeoutMs);

private:
    const char *m_name;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_readyText;
};

} // namespace Movendi::Test
