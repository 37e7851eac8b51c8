#include "serviceflotte.h"

#include "kiosktest.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>

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

} // namespace Movendi::Test
