#include "serveurpostgres.h"

#include "helperprocess.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <csignal>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace Movendi::Test {

namespace {

const QString Binaires = QStringLiteral("/usr/lib/postgresql/15/bin/");

bool enRoot()
{
    return ::geteuid() == 0;
}

} // namespace

ServeurPostgres::~ServeurPostgres()
{
    stop();
}

int ServeurPostgres::executer(const QString &programme, const QStringList &arguments,
                              QString *sortie)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // PostgreSQL refuses to run as root: the cluster belongs to its system user then.
    if (enRoot())
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                            Binaires + programme} +
                    arguments);
    else
        p.start(Binaires + programme, arguments);
    const bool fini = p.waitForFinished(60000);
    if (sortie)
        *sortie = QString::fromUtf8(p.readAll());
    return fini && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool ServeurPostgres::start()
{
    if (!QFile::exists(Binaires + QStringLiteral("postgres"))) {
        ADD_FAILURE() << "PostgreSQL 15 is not installed";
        return false;
    }
    QTcpServer libre;
    libre.listen(QHostAddress::LocalHost, 0);
    m_port = libre.serverPort();
    libre.close();
    const QString donnees = m_dir.filePath(QStringLiteral("donnees"));
    QDir().mkpath(donnees);
    if (enRoot()) {
        // The owner must reach its folder through the temporary one.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ExeOther);
        const passwd *pw = ::getpwnam("postgres");
        if (!pw || ::chown(QFile::encodeName(donnees).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            ADD_FAILURE() << "no postgres user to own the cluster";
            return false;
        }
    }
    QString sortie;
    if (executer(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), donnees, QStringLiteral("-U"),
                  QLatin1String(Superutilisateur), QStringLiteral("--auth=trust"),
                  QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-sync")},
                 &sortie) != 0) {
        ADD_FAILURE() << "initdb failed: " << sortie.toStdString();
        return false;
    }
    return lancer();
}

bool ServeurPostgres::redemarrer()
{
    stop();
    return lancer();
}

bool ServeurPostgres::lancer()
{
    const QString donnees = m_dir.filePath(QStringLiteral("donnees"));
    const QStringList arguments{QStringLiteral("-D"), donnees,
                                QStringLiteral("-k"), donnees,
                                QStringLiteral("-p"), QString::number(m_port),
                                QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                                QStringLiteral("-c"), QStringLiteral("fsync=off")};
    m_serveur.setProcessChannelMode(QProcess::MergedChannels);
    // A test or fuzz run that dies leaves no server behind (runuser passes the signal on).
    m_serveur.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_serveur.setStandardOutputFile(m_dir.filePath(QStringLiteral("postgres.log")),
                                    QIODevice::Append);
    if (enRoot())
        m_serveur.start(QStringLiteral("runuser"),
                        QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                    QStringLiteral("--"), Binaires + QStringLiteral("postgres")} +
                            arguments);
    else
        m_serveur.start(Binaires + QStringLiteral("postgres"), arguments);
    const bool pret = HelperProcess::waitUntil(
        [&] {
            QTcpSocket essai;
            essai.connectToHost(QHostAddress::LocalHost, m_port);
            return essai.waitForConnected(200);
        },
        20000);
    // Listening is not taking connections yet ("the database system is starting up").
    const bool accepte =
        pret && HelperProcess::waitUntil(
                    [&] {
                        return executer(QStringLiteral("pg_isready"),
                                        {QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                                         QStringLiteral("-p"), QString::number(m_port)}) == 0;
                    },
                    20000);
    if (!accepte)
        ADD_FAILURE() << "PostgreSQL does not take connections on " << m_port;
    return accepte;
}

void ServeurPostgres::stop()
{
    if (m_serveur.state() == QProcess::NotRunning)
        return;
    executer(QStringLiteral("pg_ctl"), {QStringLiteral("stop"), QStringLiteral("-D"),
                                        m_dir.filePath(QStringLiteral("donnees")),
                                        QStringLiteral("-m"), QStringLiteral("fast")});
    if (!m_serveur.waitForFinished(10000)) {
        m_serveur.kill();
        m_serveur.waitForFinished(2000);
    }
}

bool ServeurPostgres::creerBase(const QString &nom)
{
    QString sortie;
    const int code = executer(QStringLiteral("createdb"),
                              {QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                               QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"),
                               QLatin1String(Superutilisateur), nom},
                              &sortie);
    if (code != 0)
        ADD_FAILURE() << "createdb failed: " << sortie.toStdString();
    return code == 0;
}

QString ServeurPostgres::connexion(const QString &base) const
{
    return QStringLiteral("host=127.0.0.1 port=%1 dbname=%2 user=%3")
        .arg(m_port)
        .arg(base, QLatin1String(Superutilisateur));
}

} // namespace Movendi::Test
