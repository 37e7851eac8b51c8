#include "brokermqtt.h"

#include "helperprocess.h"

#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <csignal>

namespace Movendi::Test {

BrokerMqtt::~BrokerMqtt()
{
    stop();
}

bool BrokerMqtt::start(const std::optional<Tls> &tls)
{
    if (m_port == 0) {
        QTcpServer libre;
        if (!libre.listen(QHostAddress::LocalHost, 0)) {
            ADD_FAILURE() << "no free loopback port";
            return false;
        }
        m_port = libre.serverPort();
    }
    // Run as root, Mosquitto becomes its own user: the folder must be its too.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther);
    const QString conf = m_dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile fichier(conf);
    if (!fichier.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ADD_FAILURE() << "cannot write " << conf.toStdString();
        return false;
    }
    fichier.write(QStringLiteral("listener %1 127.0.0.1\n"
                                 "allow_anonymous true\n"
                                 "persistence true\n"
                                 "persistence_location %2/\n"
                                 "log_dest file %2/mosquitto.log\n"
                                 "log_type all\n")
                      .arg(m_port)
                      .arg(m_dir.path())
                      .toUtf8());
    if (tls) {
        fichier.write(QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n"
                                     "require_certificate true\n")
                          .arg(tls->ca, tls->certificat, tls->cle)
                          .toUtf8());
    }
    fichier.close();
    const QString programme = QStandardPaths::findExecutable(
        QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (programme.isEmpty()) {
        ADD_FAILURE() << "mosquitto is not installed";
        return false;
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(programme, {QStringLiteral("-c"), conf});
    if (!m_process.waitForStarted(5000)) {
        ADD_FAILURE() << "mosquitto did not start: " << m_process.errorString().toStdString();
        return false;
    }
    const bool pret = HelperProcess::waitUntil(
        [&] {
            QTcpSocket essai;
            essai.connectToHost(QHostAddress::LocalHost, m_port);
            return essai.waitForConnected(200);
        },
        5000);
    if (!pret)
        ADD_FAILURE() << "mosquitto does not listen on " << m_port << ": " << log().toStdString();
    return pret;
}

void BrokerMqtt::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

void BrokerMqtt::suspendre(bool suspendu)
{
    if (m_process.state() != QProcess::NotRunning)
        ::kill(pid_t(m_process.processId()), suspendu ? SIGSTOP : SIGCONT);
}

QStringList BrokerMqtt::recu(const QString &sujet, int combien, int secondes) const
{
    QProcess sub;
    sub.start(QStringLiteral("mosquitto_sub"),
              {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
               QString::number(m_port), QStringLiteral("-t"), sujet, QStringLiteral("-C"),
               QString::number(combien), QStringLiteral("-W"), QString::number(secondes)});
    sub.waitForFinished((secondes + 5) * 1000);
    return QString::fromUtf8(sub.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString BrokerMqtt::log() const
{
    return QString::fromUtf8(
        HelperProcess::readAll(m_dir.filePath(QStringLiteral("mosquitto.log"))));
}

} // namespace Movendi::Test
