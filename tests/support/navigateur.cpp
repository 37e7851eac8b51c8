#include "navigateur.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace Movendi::Test {

namespace {

// An element's reference: the one value of the object WebDriver names it by.
QString reference(const QJsonValue &element)
{
    const QJsonObject o = element.toObject();
    return o.isEmpty() ? QString() : o.begin()->toString();
}

constexpr int DelaiAppelMs = 60000;

} // namespace

Navigateur::~Navigateur()
{
    if (!m_session.isEmpty())
        appel("DELETE", QStringLiteral("/session/") + m_session);
    m_pilote.stop();
}

bool Navigateur::demarrer(int largeur, int hauteur)
{
    QTcpServer libre;
    if (!libre.listen(QHostAddress::LocalHost, 0)) {
        ADD_FAILURE() << "no free port for chromedriver";
        return false;
    }
    m_port = libre.serverPort();
    libre.close();
    if (!m_pilote.start(
            QStringLiteral("chromedriver"),
            {QStringLiteral("--port=%1").arg(m_port), QStringLiteral("--allowed-ips=127.0.0.1")},
            "started successfully", 20000))
        return false;
    const QJsonArray arguments{QStringLiteral("--headless=new"),
                               QStringLiteral("--no-sandbox"), // the tests may run as root
                               QStringLiteral("--disable-gpu"),
                               QStringLiteral("--disable-dev-shm-usage"),
                               QStringLiteral("--no-first-run"),
                               QStringLiteral("--no-default-browser-check"),
                               QStringLiteral("--no-proxy-server"),
                               QStringLiteral("--disable-background-networking"),
                               QStringLiteral("--disable-component-update"),
                               QStringLiteral("--disable-sync"),
                               QStringLiteral("--user-data-dir=") + m_profil.path(),
                               QStringLiteral("--window-size=%1,%2").arg(largeur).arg(hauteur)};
    const QJsonObject options{{QStringLiteral("binary"), QStringLiteral("/usr/bin/chromium")},
                              {QStringLiteral("args"), arguments}};
    const std::optional<QJsonValue> session =
        appel("POST", QStringLiteral("/session"),
              {{QStringLiteral("capabilities"),
                QJsonObject{{QStringLiteral("alwaysMatch"),
                             QJsonObject{{QStringLiteral("goog:chromeOptions"), options}}}}}});
    if (!session)
        return false;
    m_session = session->toObject().value(QStringLiteral("sessionId")).toString();
    return !m_session.isEmpty();
}

std::optional<QJsonValue> Navigateur::appel(const QByteArray &methode, const QString &chemin,
                                            const QJsonObject &corps)
{
    QNetworkAccessManager reseau;
    QNetworkRequest requete(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(chemin)));
    requete.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    requete.setTransferTimeout(DelaiAppelMs);
    const QByteArray donnees =
        methode == "POST" ? QJsonDocument(corps).toJson(QJsonDocument::Compact) : QByteArray();
    QNetworkReply *r = reseau.sendCustomRequest(requete, methode, donnees);
    QEventLoop boucle;
    QObject::connect(r, &QNetworkReply::finished, &boucle, &QEventLoop::quit);
    boucle.exec();
    const QByteArray reponse = r->readAll();
    const int statut = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    r->deleteLater();
    const QJsonValue valeur =
        QJsonDocument::fromJson(reponse).object().value(QStringLiteral("value"));
    if (statut != 200) {
        ADD_FAILURE() << "WebDriver " << methode.constData() << ' ' << qPrintable(chemin) << ": "
                      << statut << ' ' << reponse.left(600).constData();
        return std::nullopt;
    }
    return valeur;
}

bool Navigateur::ouvrir(const QString &url)
{
    return appel("POST", QStringLiteral("/session/%1/url").arg(m_session),
                 {{QStringLiteral("url"), url}})
        .has_value();
}

bool Navigateur::redimensionner(int largeur, int hauteur)
{
    return appel("POST", QStringLiteral("/session/%1/window/rect").arg(m_session),
                 {{QStringLiteral("width"), largeur}, {QStringLiteral("height"), hauteur}})
        .has_value();
}

QString Navigateur::url()
{
    return appel("GET", QStringLiteral("/session/%1/url").arg(m_session))
        .value_or(QJsonValue())
        .toString();
}

QString Navigateur::source()
{
    return appel("GET", QStringLiteral("/session/%1/source").arg(m_session))
        .value_or(QJsonValue())
        .toString();
}

std::optional<QString> Navigateur::element(const QString &selecteur)
{
    const std::optional<QJsonValue> e =
        appel("POST", QStringLiteral("/session/%1/element").arg(m_session),
              {{QStringLiteral("using"), QStringLiteral("css selector")},
               {QStringLiteral("value"), selecteur}});
    if (!e)
        return std::nullopt;
    return reference(*e);
}

bool Navigateur::saisir(const QString &selecteur, const QString &texte)
{
    const std::optional<QString> e = element(selecteur);
    return e && appel("POST", QStringLiteral("/session/%1/element/%2/value").arg(m_session, *e),
                      {{QStringLiteral("text"), texte}});
}

bool Navigateur::cliquer(const QString &selecteur)
{
    const std::optional<QString> e = element(selecteur);
    return e && appel("POST", QStringLiteral("/session/%1/element/%2/click").arg(m_session, *e));
}

QStringList Navigateur::textes(const QString &selecteur)
{
    const std::optional<QJsonValue> trouves =
        appel("POST", QStringLiteral("/session/%1/elements").arg(m_session),
              {{QStringLiteral("using"), QStringLiteral("css selector")},
               {QStringLiteral("value"), selecteur}});
    QStringList resultat;
    for (const QJsonValue &e : trouves.value_or(QJsonArray()).toArray())
        resultat << appel(
                        "GET",
                        QStringLiteral("/session/%1/element/%2/text").arg(m_session, reference(e)))
                        .value_or(QJsonValue())
                        .toString();
    return resultat;
}

QJsonValue Navigateur::script(const QString &corps)
{
    return appel("POST", QStringLiteral("/session/%1/execute/sync").arg(m_session),
                 {{QStringLiteral("script"), corps}, {QStringLiteral("args"), QJsonArray()}})
        .value_or(QJsonValue());
}

QByteArray Navigateur::cookie(const QString &nom)
{
    const std::optional<QJsonValue> c =
        appel("GET", QStringLiteral("/session/%1/cookie/%2").arg(m_session, nom));
    return c ? c->toObject().value(QStringLiteral("value")).toString().toLatin1() : QByteArray();
}

QByteArray Navigateur::capture()
{
    return QByteArray::fromBase64(
        appel("GET", QStringLiteral("/session/%1/screenshot").arg(m_session))
            .value_or(QJsonValue())
            .toString()
            .toLatin1());
}

} // namespace Movendi::Test
