#include "simulatorprocess.h"

#include "kiosktest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace Movendi::Test {

SimulatorProcess::~SimulatorProcess()
{
    stop();
}

QByteArray SimulatorProcess::readAll(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool SimulatorProcess::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (done())
            return true;
        if (timer.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(10);
    }
}

bool SimulatorProcess::start(const char *program, const QStringList &arguments,
                             const QByteArray &marker, int timeoutMs)
{
    if (!m_dir.isValid()) {
        ADD_FAILURE() << program << ": no temporary folder";
        return false;
    }
    m_process.setStandardOutputFile(filePath(QStringLiteral("stdout.txt")));
    m_process.setStandardErrorFile(filePath(QStringLiteral("stderr.txt")));
    m_process.start(binaryPath(program), arguments);
    if (!m_process.waitForStarted(timeoutMs)) {
        ADD_FAILURE() << program << ": cannot start " << qPrintable(binaryPath(program)) << ": "
                      << qPrintable(m_process.errorString());
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QByteArray out = readAll(filePath(QStringLiteral("stdout.txt")));
        const qsizetype at = out.indexOf(marker);
        const qsizetype end = out.indexOf('\n', at);
        if (at >= 0 && end > at) {
            m_device = QString::fromLocal8Bit(out.mid(at + marker.size(), end - at - marker.size()))
                           .trimmed();
            return true;
        }
        if (m_process.waitForFinished(20)) {
            ADD_FAILURE() << program << ": exited with code " << m_process.exitCode()
                          << " before its device line: " << qPrintable(errors());
            return false;
        }
    }
    ADD_FAILURE() << program << ": no \"" << marker.constData() << "\" line within " << timeoutMs
                  << " ms: " << qPrintable(errors());
    stop();
    return false;
}

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

void SimulatorProcess::stop()
{
    stopProcess(m_process);
}

bool SimulatorProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString SimulatorProcess::errors() const
{
    return QString::fromLocal8Bit(readAll(filePath(QStringLiteral("stderr.txt"))));
}

} // namespace Movendi::Test
