#include "certificatloopback.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

namespace Movendi::Test {

std::optional<CertificatLoopback> creerCertificatLoopback(const QString &dossier)
{
    const CertificatLoopback c{QDir(dossier).filePath(QStringLiteral("loopback-cert.pem")),
                               QDir(dossier).filePath(QStringLiteral("loopback-cle.pem"))};
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), c.cle, QStringLiteral("-out"), c.certificat});
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        ADD_FAILURE() << "openssl req: " << openssl.errorString().toStdString() << ' '
                      << openssl.readAllStandardError().toStdString();
        return std::nullopt;
    }
    return c;
}

} // namespace Movendi::Test
