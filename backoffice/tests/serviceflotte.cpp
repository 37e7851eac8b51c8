#include "serviceflotte.h"

#include "helperprocess.h"
#include "kiosktest.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace Movendi::Test {

Sortie lancerFlotte(const QStringList &arguments, const QByteArray &entree)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(binaryPath("movendi-flotte"), arguments);
    if (!entree.isEmpty())
        p.write(entree);
    p.closeWriteChannel();
    const bool fini = p.waitForFinished(30000);
    return {fini ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

bool publier(quint16 port, const QString &sujet, const QByteArray &charge, bool retenu)
{
    QStringList a{QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                  QStringLiteral("-p"), QString::number(port),
                  QStringLiteral("-q"), QStringLiteral("1"),
                  QStringLiteral("-t"), sujet,
                  QStringLiteral("-m"), QString::fromUtf8(charge)};
    if (retenu)
        a << QStringLiteral("-r");
    return QProcess::execute(QStringLiteral("mosquitto_pub"), a) == 0;
}

quint16 portLibre()
{
    QTcpServer libre;
    libre.listen(QHostAddress::LocalHost, 0);
    return libre.serverPort();
}

bool ecrireConfiguration(const QString &fichier, const QStringList &lignes)
{
    QFile f(fichier);
    return f.open(QIODevice::WriteOnly) &&
           f.write((lignes.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) > 0;
}

Reponse requeteHttp(quint16 port, const QString &chemin,
                    const QList<QPair<QByteArray, QByteArray>> &entetes, const QByteArray &corps)
{
    QNetworkAccessManager reseau;
    QNetworkRequest requete(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(chemin)));
    requete.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    for (const auto &[nom, valeur] : entetes)
        requete.setRawHeader(nom, valeur);
    requete.setTransferTimeout(10000);
    QNetworkReply *r = corps.isEmpty() ? reseau.get(requete) : reseau.post(requete, corps);
    QEventLoop boucle;
    QObject::connect(r, &QNetworkReply::finished, &boucle, &QEventLoop::quit);
    boucle.exec();
    Reponse rep{r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), r->readAll(),
                r->header(QNetworkRequest::ContentTypeHeader).toByteArray(),
                r->rawHeader("Location")};
    r->deleteLater();
    return rep;
}

bool BancFlotte::preparer(const QStringList &lignes, bool initialiser)
{
    if (!postgres.start() || !postgres.creerBase(QStringLiteral("flotte")) || !broker.start())
        return false;
    // Kept for the search for card numbers in clear that follows the suite.
    if (qEnvironmentVariableIsSet("MOVENDI_GARDER_SORTIES"))
        m_dossier.setAutoRemove(false);
    config = m_dossier.filePath(QStringLiteral("movendi-flotte.conf"));
    web = portLibre();
    if (!ecrireConfiguration(
            config,
            QStringList{QStringLiteral("[MQTT]"), QStringLiteral("Serveur=127.0.0.1"),
                        QStringLiteral("Port=%1").arg(broker.port()),
                        QStringLiteral("[PostgreSQL]"),
                        QStringLiteral("Connexion=") + postgres.connexion(QStringLiteral("flotte")),
                        QStringLiteral("[Web]"), QStringLiteral("Port=%1").arg(web)} +
                lignes)) {
        ADD_FAILURE() << "configuration not written";
        return false;
    }
    if (!initialiser)
        return true;
    const Sortie init = lancerFlotte({QStringLiteral("init"), QStringLiteral("--config"), config});
    if (init.code != 0)
        ADD_FAILURE() << "movendi-flotte init: " << init.texte.toStdString();
    return init.code == 0;
}

bool BancFlotte::demarrer(QProcess &service)
{
    const auto abonnements = [this] {
        return broker.log().count(QLatin1String("SUBSCRIBE from movendi-flotte"));
    };
    const qsizetype avant = abonnements();
    service.setProcessChannelMode(QProcess::ForwardedChannels);
    service.start(binaryPath("movendi-flotte"), {QStringLiteral("--config"), config});
    return HelperProcess::waitUntil([&] { return abonnements() > avant; }, 20000);
}

} // namespace Movendi::Test
