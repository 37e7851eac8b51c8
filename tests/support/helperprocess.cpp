#include "helperprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace Movendi::Test {

HelperProcess::~HelperProcess()
{
    stop();
}

QByteArray HelperProcess::readAll(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool HelperProcess::waitUntil(const std::function<bool()> &done, int timeoutMs)
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

bool HelperProcess::start(const QString &program, const QStringList &arguments,
                          const QByteArray &marker, int timeoutMs)
{
    stop();
    m_readyText.clear();
    if (!m_dir.isValid()) {
        ADD_FAILURE() << m_name << ": no temporary folder";
        return false;
    }
    m_process.setStandardOutputFile(filePath(QStringLiteral("stdout.txt")));
    m_process.setStandardErrorFile(filePath(QStringLiteral("stderr.txt")));
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(timeoutMs)) {
        ADD_FAILURE() << m_name << ": cannot start " << qPrintable(program) << ": "
                      << qPrintable(m_process.errorString());
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QByteArray out = readAll(filePath(QStringLiteral("stdout.txt")));
        const qsizetype at = out.indexOf(marker);
        const qsizetype end = out.indexOf('\n', at);
        if (at >= 0 && end >= at) {
            m_readyText =
                QString::fromLocal8Bit(out.mid(at + marker.size(), end - at - marker.size()))
                    .trimmed();
            return true;
        }
        if (m_process.waitForFinished(20)) {
            ADD_FAILURE() << m_name << ": exited with code " << m_process.exitCode()
                          << " before its ready line: " << qPrintable(errors());
            return false;
        }
    }
    ADD_FAILURE() << m_name << ": no \"" << marker.constData() << "\" line within " << timeoutMs
                  << " ms: " << qPrintable(errors());
    stop();
    return false;
}

quint16 HelperProcess::startServer(const char *script, const QStringList &arguments)
{
    const QString path =
        QStringLiteral(MOVENDI_SOURCE_DIR "/tests/support/") + QLatin1String(script);
    if (!start(QStringLiteral("/usr/bin/python3"), QStringList{path} + arguments, {}, 15000))
        return 0;
    bool ok = false;
    const quint16 port = quint16(m_readyText.toUInt(&ok));
    if (!ok || port == 0)
        ADD_FAILURE() << m_name << ": no port on its first line: " << qPrintable(errors());
    return ok ? port : 0;
}

void HelperProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool HelperProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString HelperProcess::errors() const
{
    return QString::fromLocal8Bit(readAll(filePath(QStringLiteral("stderr.txt"))));
}

} // namespace Movendi::Test
