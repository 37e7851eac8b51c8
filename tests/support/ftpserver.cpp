#include "ftpserver.h"

#include "simulatorprocess.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace Movendi::Test {

FtpServer::~FtpServer()
{
    stop();
}

bool FtpServer::start(const QString &home, const QString &password, Behaviour behaviour,
                      qint64 silentAfterBytes)
{
    stop();
    QStringList args{QStringLiteral(MOVENDI_SOURCE_DIR "/tests/support/ftpserver.py"), home,
                     QLatin1String(User), password};
    if (behaviour == Behaviour::RefuseLogin)
        args << QStringLiteral("--refuse-login");
    if (behaviour == Behaviour::SilentMidTransfer)
        args << QStringLiteral("--silent-after") << QString::number(silentAfterBytes);
    // Its log goes to a file, so that a full pipe never stops the server.
    m_process.setStandardErrorFile(m_logs.filePath(QStringLiteral("ftpserver.log")),
                                   QIODevice::Append);
    // Debian's pyftpdlib belongs to the system interpreter.
    m_process.start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_process.waitForStarted(5000)) {
        ADD_FAILURE() << "FTP server: " << m_process.errorString().toStdString();
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine() && timer.elapsed() < 10000 &&
           m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(100);
    bool ok = false;
    m_port = quint16(m_process.readLine().trimmed().toUInt(&ok));
    if (!ok || m_port == 0) {
        ADD_FAILURE() << "FTP server did not start: "
                      << SimulatorProcess::readAll(m_logs.filePath(QStringLiteral("ftpserver.log")))
                             .toStdString();
        return false;
    }
    return true;
}

void FtpServer::stop()
{
    stopProcess(m_process);
    m_port = 0;
}

} // namespace Movendi::Test
