#pragma once

#include <QString>

#include <optional>

namespace Movendi::Test {

// A self-signed certificate for 127.0.0.1 and its key, made by the openssl tool in `dossier`,
// for the TLS servers the tests start.
struct CertificatLoopback
{
    QString certificat;
    QString cle;
};

// Adds a test failure and returns nothing when openssl cannot make it.
std::optional<CertificatLoopback> creerCertificatLoopback(const QString &dossier);

} // namespace Movendi::Test
