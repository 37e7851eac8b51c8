#include "tpesim.h"

#include "kiosktest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace Movendi::Test {

namespace {

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

TpeSimulator::~TpeSimulator()
{
    stop();
}

bool TpeSimulator::start(const QStringList &directives, const QString &linkPath, int timeoutMs)
{
    if (!m_dir.isValid()) {
        ADD_FAILURE() << "TpeSimulator: no temporary folder";
        return false;
    }
    QStringList arguments{QStringLiteral("--journal"), journalPath()};
    if (!linkPath.isEmpty())
        arguments << QStringLiteral("--lien") << linkPath;
    arguments << QStringLiteral("--") << directives;
    // Output to files, not pipes: nobody has to read them for the simulator to go on.
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("stdout.txt")));
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("stderr.txt")));
    m_process.start(binaryPath("movendi-tpe-sim"), arguments);
    if (!m_process.waitForStarted(timeoutMs)) {
        ADD_FAILURE() << "TpeSimulator: cannot start " << qPrintable(binaryPath("movendi-tpe-sim"))
                      << ": " << qPrintable(m_process.errorString());
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QByteArray out = readAll(m_dir.filePath(QStringLiteral("stdout.txt")));
        const qsizetype at = out.indexOf("TPE: ");
        const qsizetype end = out.indexOf('\n', at);
        if (at >= 0 && end > at) {
            m_device = QString::fromLocal8Bit(out.mid(at + 5, end - at - 5)).trimmed();
            return true;
        }
        if (m_process.waitForFinished(20)) {
            ADD_FAILURE() << "TpeSimulator: exited with code " << m_process.exitCode()
                          << " before its device line: " << qPrintable(errors());
            return false;
        }
    }
    ADD_FAILURE() << "TpeSimulator: no \"TPE: \" line within " << timeoutMs
                  << " ms: " << qPrintable(errors());
    stop();
    return false;
}

void TpeSimulator::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool TpeSimulator::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString TpeSimulator::journalPath() const
{
    return m_dir.filePath(QStringLiteral("journal.txt"));
}

QStringList TpeSimulator::journal() const
{
    QStringList lines = QString::fromUtf8(readAll(journalPath())).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

int TpeSimulator::count(const QString &substring) const
{
    int n = 0;
    for (const QString &line : journal())
        n += line.contains(substring) ? 1 : 0;
    return n;
}

bool TpeSimulator::waitFor(const QString &substring, int n, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (count(substring) >= n)
            return true;
        if (timer.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(10);
    }
}

QString TpeSimulator::errors() const
{
    return QString::fromLocal8Bit(readAll(m_dir.filePath(QStringLiteral("stderr.txt"))));
}

} // namespace Movendi::Test
