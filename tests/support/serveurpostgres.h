#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace Movendi::Test {

// A real PostgreSQL server for a test: a cluster made by initdb in a temporary folder, run as an
// unprivileged user (postgres when the tests run as root), listening on a free port of 127.0.0.1
// and on a socket in its own folder, trusting local connections, stopped (fast) on destruction.
class ServeurPostgres
{
public:
    ServeurPostgres() = default;
    ~ServeurPostgres();
    ServeurPostgres(const ServeurPostgres &) = delete;
    ServeurPostgres &operator=(const ServeurPostgres &) = delete;

    // Adds a test failure and returns false when the server does not come up.
    bool start();
    void stop();
    // The same cluster started again after stop(), on the same port.
    bool redemarrer();
    quint16 port() const { return m_port; }
    // A new empty database, owned by the cluster's superuser "movendi".
    bool creerBase(const QString &nom);
    // The libpq connection string of a database of this server.
    QString connexion(const QString &base) const;

    static constexpr const char *Superutilisateur = "movendi";

private:
    bool lancer();
    // The program run as the cluster's owner; its exit code, -1 when it did not end in time.
    int executer(const QString &programme, const QStringList &arguments, QString *sortie = nullptr);

    QTemporaryDir m_dir;
    QProcess m_serveur;
    quint16 m_port = 0;
};

} // namespace Movendi::Test
