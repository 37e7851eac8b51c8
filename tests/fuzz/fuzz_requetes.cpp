// libFuzzer target: any bytes sent to the back-office's web server as an HTTP request, with the
// API and the pages installed as the service installs them, over a real PostgreSQL started for
// the run (one kiosk and one sale in it). Whatever arrives, the server answers or closes, never
// with a server error, and never hands a page or the API's data to a request without the token
// or a session.
#include "entrepot/connexionpg.h"
#include "entrepot/entrepot.h"
#include "entrepot/schema.h"
#include "serveurpostgres.h"
#include "web/apiflotte.h"
#include "web/lectureflotte.h"
#include "web/pagesflotte.h"
#include "web/sessions.h"

#include <QCoreApplication>
#include <QHttpServer>
#include <QTcpSocket>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Movendi;
using namespace Movendi::Backoffice;

namespace {

const QString Jeton = QStringLiteral("jeton-du-fuzz");

struct Service
{
    Test::ServeurPostgres serveur;
    std::unique_ptr<ConnexionPg> base;
    std::unique_ptr<LectureFlotte> lecture;
    std::unique_ptr<Sessions> sessions;
    std::unique_ptr<ApiFlotte> api;
    std::unique_ptr<PagesFlotte> pages;
    std::unique_ptr<QHttpServer> web;
    quint16 port = 0;
};

Service *service = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    service = new Service;
    Service &s = *service;
    if (!s.serveur.start() || !s.serveur.creerBase(QStringLiteral("flotte")))
        std::abort();
    s.base = std::make_unique<ConnexionPg>(s.serveur.connexion(QStringLiteral("flotte")));
    mettreAJourSchema(*s.base);
    Entrepot entrepot(*s.base, QStringLiteral("movendi/v1"));
    const QDateTime quand(QDate(2026, 12, 9), QTime(10, 0), Qt::UTC);
    entrepot.recevoir(QStringLiteral("movendi/v1/K1/presence"), "en-ligne", quand);
    entrepot.recevoir(
        QStringLiteral("movendi/v1/K1/evenements"),
        R"({"v":1,"kiosque":"K1","seq":1,"id":"K1:1","type":"vente","horodatage":"2026-12-09T10:00:00Z",)"
        R"("numVente":7,"montantCentimes":20990,"statutDebit":0,"reprise":false,"carte":"497010******7893",)"
        R"("noRemise":3,"lignes":[{"ref":101,"designation":"Galaxy","famille":1,"montantCentimes":20990,)"
        R"("imei":"352091014100377","serie":null}]})",
        quand);
    s.lecture = std::make_unique<LectureFlotte>(
        *s.base, QStringLiteral("movendi/v1"), [] { return QDateTime::currentDateTimeUtc(); },
        [](const QString &, const QByteArray &) { return true; });
    s.sessions = std::make_unique<Sessions>();
    s.api = std::make_unique<ApiFlotte>(*s.base, *s.lecture, *s.sessions, Jeton);
    s.pages = std::make_unique<PagesFlotte>(
        *s.lecture, *s.sessions, [](const QString &nom, const QString &motDePasse) {
            return nom == QLatin1String("op") && motDePasse == QLatin1String("secret-du-fuzz");
        });
    s.web = std::make_unique<QHttpServer>();
    s.api->installer(*s.web);
    s.pages->installer(*s.web);
    s.port = s.web->listen(QHostAddress::LocalHost, 0);
    if (s.port == 0)
        std::abort();
    // Before Qt SQL's own globals go, which came after these.
    std::atexit([] {
        service->web.reset();
        service->pages.reset();
        service->api.reset();
        service->lecture.reset();
        service->base.reset();
        service->serveur.stop();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray requete(reinterpret_cast<const char *>(data), qsizetype(size));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, service->port);
    for (int i = 0; i < 200 && client.state() != QAbstractSocket::ConnectedState; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    client.write(requete);
    client.flush();
    // The answer's head and as much of it as comes while the server has something to do.
    QByteArray reponse;
    for (int calme = 0; calme < 30 && client.state() == QAbstractSocket::ConnectedState;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        const QByteArray lu = client.readAll();
        calme = lu.isEmpty() ? calme + 1 : 0;
        reponse += lu;
    }
    reponse += client.readAll();
    client.abort();

    if (!reponse.startsWith("HTTP/1."))
        return 0; // closed without an answer: fine for bytes that are no request
    const int statut = reponse.mid(9, 3).toInt();
    if (statut >= 500) {
        std::fprintf(stderr, "réponse %d à:\n%s\n", statut, requete.left(300).constData());
        std::abort();
    }
    // Data only for the token (the seeds carry it) or a session (none is ever opened here:
    // the fuzzer does not know the password).
    const bool autorise = requete.contains("Bearer " + Jeton.toUtf8());
    if (!autorise && statut == 200 && reponse.contains("497010******7893")) {
        std::fprintf(stderr, "données sans jeton à:\n%s\n", requete.left(300).constData());
        std::abort();
    }
    return 0;
}
