#include "printersim.h"

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

PrinterSimulator::~PrinterSimulator()
{
    stop();
}

bool PrinterSimulator::start(const QString &linkPath, int timeoutMs)
{
    if (!m_dir.isValid()) {
        ADD_FAILURE() << "PrinterSimulator: no temporary folder";
        return false;
    }
    QStringList arguments{QStringLiteral("--sortie"), outputPath(), QStringLiteral("--texte"),
                          textPath()};
    if (!linkPath.isEmpty())
        arguments << QStringLiteral("--lien") << linkPath;
    // Output to files, not pipes: nobody has to read them for the simulator to go on.
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("stdout.txt")));
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("stderr.txt")));
    m_process.start(binaryPath("movendi-printer-sim"), arguments);
    if (!m_process.waitForStarted(timeoutMs)) {
        ADD_FAILURE() << "PrinterSimulator: cannot start "
                      << qPrintable(binaryPath("movendi-printer-sim")) << ": "
                      << qPrintable(m_process.errorString());
        return false;
    }
    const QByteArray marker("IMPRIMANTE: ");
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QByteArray out = readAll(m_dir.filePath(QStringLiteral("stdout.txt")));
        const qsizetype at = out.indexOf(marker);
        const qsizetype end = out.indexOf('\n', at);
        if (at >= 0 && end > at) {
            m_device = QString::fromLocal8Bit(out.mid(at + marker.size(), end - at - marker.size()))
                           .trimmed();
            return true;
        }
        if (m_process.waitForFinished(20)) {
            ADD_FAILURE() << "PrinterSimulator: exited with code " << m_process.exitCode()
                          << " before its device line: " << qPrintable(errors());
            return false;
        }
    }
    ADD_FAILURE() << "PrinterSimulator: no \"IMPRIMANTE: \" line within " << timeoutMs
                  << " ms: " << qPrintable(errors());
    stop();
    return false;
}

void PrinterSimulator::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool PrinterSimulator::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString PrinterSimulator::outputPath() const
{
    return m_dir.filePath(QStringLiteral("printer.bin"));
}

QString PrinterSimulator::textPath() const
{
    return m_dir.filePath(QStringLiteral("printer.txt"));
}

QByteArray PrinterSimulator::bytes() const
{
    return readAll(outputPath());
}

QString PrinterSimulator::text() const
{
    return QString::fromUtf8(readAll(textPath()));
}

bool PrinterSimulator::waitForBytes(qsizetype n, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (bytes().size() >= n)
            return true;
        if (timer.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(10);
    }
}

QString PrinterSimulator::errors() const
{
    return QString::fromLocal8Bit(readAll(m_dir.filePath(QStringLiteral("stderr.txt"))));
}

} // namespace Movendi::Test
