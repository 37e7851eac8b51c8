// The operators' pages in a real browser (headless Chromium through ChromeDriver) against the
// service with a real PostgreSQL and a real Mosquitto: the login, the fleet's rows, a command
// sent from the kiosk page reaching the kiosk and its answer showing, and forms refused without
// their token.
#include "entrepot/connexionpg.h"
#include "helperprocess.h"
#include "kiosktest.h"
#include "navigateur.h"
#include "serviceflotte.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace Movendi;
using Movendi::Test::HelperProcess;

namespace {

QByteArray etat(const char *kiosque, int qte)
{
    return QStringLiteral(
               R"({"v":1,"kiosque":"%1","horodatage":"%2","version":"1.0","depuis":"%2",)"
               R"("ecran":"accueil","enService":true,"derniereVente":null,"stock":[{"ref":101,)"
               R"("designation":"Mobile <i>Nova</i> 5","famille":1,"qte":%3}],"emplacementsLibres":)"
               R"({"telephones":4,"recharges":9},"fileAttente":0,"erreurs24h":0})")
        .arg(QLatin1String(kiosque), QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
        .arg(qte)
        .toUtf8();
}

// A click's navigation may end after the click's answer.
bool versPage(Movendi::Test::Navigateur &navigateur, const char *fin)
{
    return HelperProcess::waitUntil([&] { return navigateur.url().endsWith(QLatin1String(fin)); },
                                    10000);
}

TEST(PagesFlotte, ChromiumLogsInSeesEachKioskSendsACommandAndFormsWithoutTokenAreRefused)
{
    Movendi::Test::BancFlotte banc;
    ASSERT_TRUE(banc.preparer());
    auto &broker = banc.broker;
    const quint16 web = banc.web;
    ASSERT_EQ(Movendi::Test::lancerFlotte({QStringLiteral("operateur"), QStringLiteral("--config"),
                                           banc.config, QStringLiteral("alice")},
                                          "un mot de passe solide\n")
                  .code,
              0);
    QProcess service;
    ASSERT_TRUE(banc.demarrer(service));
    // Two kiosks; what they say is shown as text, never as markup.
    const QStringList kiosques{QStringLiteral("K1"), QStringLiteral("K-2.b")};
    for (const QString &k : kiosques) {
        ASSERT_TRUE(Movendi::Test::publier(
            broker.port(), QStringLiteral("movendi/v1/%1/presence").arg(k), "en-ligne", true));
        ASSERT_TRUE(Movendi::Test::publier(broker.port(),
                                           QStringLiteral("movendi/v1/%1/etat").arg(k),
                                           etat(qPrintable(k), 3), true));
    }

    Movendi::Test::Navigateur chromium;
    ASSERT_TRUE(chromium.demarrer());
    const QString racine = QStringLiteral("http://127.0.0.1:%1").arg(web);
    // Without a session every page leads to the login.
    ASSERT_TRUE(chromium.ouvrir(racine + QStringLiteral("/flotte")));
    EXPECT_TRUE(versPage(chromium, "/connexion")) << chromium.url().toStdString();
    ASSERT_TRUE(chromium.saisir(QStringLiteral("#nom"), QStringLiteral("alice")));
    ASSERT_TRUE(chromium.saisir(QStringLiteral("#motdepasse"), QStringLiteral("pas le bon")));
    ASSERT_TRUE(chromium.cliquer(QStringLiteral("button[type=submit]")));
    EXPECT_TRUE(HelperProcess::waitUntil(
        [&] {
            return chromium.source().contains(
                QStringLiteral("Opérateur ou mot de passe incorrect"));
        },
        10000));
    ASSERT_TRUE(chromium.saisir(QStringLiteral("#nom"), QStringLiteral("alice")));
    ASSERT_TRUE(
        chromium.saisir(QStringLiteral("#motdepasse"), QStringLiteral("un mot de passe solide")));
    ASSERT_TRUE(chromium.cliquer(QStringLiteral("button[type=submit]")));
    ASSERT_TRUE(versPage(chromium, "/flotte")) << chromium.url().toStdString();
    // Each kiosk has its row, its presence and its free locations; the session's cookie is out
    // of the page's scripts' reach.
    QStringList lignes;
    EXPECT_TRUE(HelperProcess::waitUntil(
        [&] {
            chromium.ouvrir(racine + QStringLiteral("/flotte"));
            lignes = chromium.textes(QStringLiteral("tbody tr"));
            return lignes.size() == kiosques.size() &&
                   lignes.filter(QStringLiteral("4 tél. / 9 rech.")).size() == kiosques.size();
        },
        20000))
        << lignes.join(QLatin1Char('|')).toStdString();
    for (const QString &k : kiosques)
        EXPECT_EQ(lignes
                      .filter(QRegularExpression(
                          QStringLiteral("^%1 en-ligne oui ").arg(QRegularExpression::escape(k))))
                      .size(),
                  1)
            << lignes.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(chromium.script(QStringLiteral("return document.cookie;"))
                     .toString()
                     .contains(QStringLiteral("movendi_session")));
    // Readable on a phone: the page itself never scrolls sideways, its tables do.
    chromium.redimensionner(390, 844);
    EXPECT_TRUE(chromium
                    .script(QStringLiteral("return document.documentElement.scrollWidth <= "
                                           "window.innerWidth;"))
                    .toBool());
    chromium.redimensionner(1280, 1024);

    // A command from the kiosk page reaches the kiosk; its answer shows on the page.
    QProcess kiosque;
    kiosque.start(QStringLiteral("mosquitto_sub"),
                  {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                   QString::number(broker.port()), QStringLiteral("-t"),
                   QStringLiteral("movendi/v1/K1/commandes"), QStringLiteral("-C"),
                   QStringLiteral("1"), QStringLiteral("-W"), QStringLiteral("30")});
    ASSERT_TRUE(HelperProcess::waitUntil(
        [&] { return broker.log().count(QLatin1String("SUBSCRIBE from")) >= 2; }, 10000));
    ASSERT_TRUE(chromium.cliquer(QStringLiteral("a[href='/kiosques/K1']")));
    ASSERT_TRUE(versPage(chromium, "/kiosques/K1"));
    EXPECT_TRUE(chromium.source().contains(QStringLiteral("Mobile &lt;i&gt;Nova&lt;/i&gt; 5")))
        << chromium.source().toStdString();
    ASSERT_TRUE(chromium.cliquer(QStringLiteral("button[value=etat]")));
    kiosque.waitForFinished(30000);
    ASSERT_EQ(kiosque.state(), QProcess::NotRunning);
    const QJsonObject recue = QJsonDocument::fromJson(kiosque.readAllStandardOutput()).object();
    EXPECT_EQ(recue.value(QStringLiteral("commande")).toString(), QStringLiteral("etat"));
    const QString id = recue.value(QStringLiteral("id")).toString();
    ASSERT_FALSE(id.isEmpty());
    EXPECT_TRUE(HelperProcess::waitUntil(
        [&] { return chromium.source().contains(QStringLiteral("en attente")); }, 10000));
    ASSERT_TRUE(Movendi::Test::publier(
        broker.port(), QStringLiteral("movendi/v1/K1/reponses"),
        QStringLiteral(R"({"id":"%1","resultat":"ok","message":"état publié"})").arg(id).toUtf8()));
    // The page reloads itself while it waits.
    EXPECT_TRUE(HelperProcess::waitUntil(
        [&] { return chromium.source().contains(QStringLiteral("état publié")); }, 15000))
        << chromium.source().toStdString();
    EXPECT_TRUE(chromium.source().contains(QStringLiteral("<td>alice</td>")));

    // The same form without its token: refused, nothing sent.
    chromium.script(QStringLiteral("document.querySelector('form.boutons input[name=jeton]')"
                                   ".remove(); return true;"));
    ASSERT_TRUE(chromium.cliquer(QStringLiteral("button[value=hors-service]")));
    EXPECT_TRUE(HelperProcess::waitUntil(
        [&] { return chromium.source().contains(QStringLiteral("Formulaire refusé")); }, 10000));
    // From another site: the cookie travels (as a forged form would make it) but no token.
    const QByteArray session = chromium.cookie(QStringLiteral("movendi_session"));
    ASSERT_FALSE(session.isEmpty());
    const QList<QPair<QByteArray, QByteArray>> avecCookie{
        {"Cookie", "movendi_session=" + session},
        {"Content-Type", "application/x-www-form-urlencoded"}};
    EXPECT_EQ(Movendi::Test::requeteHttp(web, QStringLiteral("/kiosques/K1/commandes"), avecCookie,
                                         "commande=hors-service")
                  .statut,
              403);
    EXPECT_EQ(Movendi::Test::requeteHttp(web, QStringLiteral("/kiosques/K1/commandes"), avecCookie,
                                         "commande=hors-service&jeton=devine")
                  .statut,
              403);
    EXPECT_EQ(Movendi::Test::requeteHttp(
                  web, QStringLiteral("/api/v1/kiosques/K1/commandes"),
                  {{"Cookie", "movendi_session=" + session}, {"Content-Type", "application/json"}},
                  R"({"commande":"hors-service"})")
                  .statut,
              401);
    // The login form too needs its own cookie's token.
    EXPECT_EQ(Movendi::Test::requeteHttp(web, QStringLiteral("/connexion"),
                                         {{"Content-Type", "application/x-www-form-urlencoded"}},
                                         "nom=alice&motdepasse=un+mot+de+passe+solide")
                  .statut,
              403);
    // The session's own reads of the API work; logging out ends it.
    EXPECT_EQ(Movendi::Test::requeteHttp(web, QStringLiteral("/api/v1/kiosques"),
                                         {{"Cookie", "movendi_session=" + session}})
                  .statut,
              200);
    ASSERT_TRUE(chromium.ouvrir(racine + QStringLiteral("/alertes")));
    ASSERT_TRUE(chromium.cliquer(QStringLiteral("header button")));
    EXPECT_TRUE(versPage(chromium, "/connexion"));
    EXPECT_EQ(Movendi::Test::requeteHttp(web, QStringLiteral("/api/v1/kiosques"),
                                         {{"Cookie", "movendi_session=" + session}})
                  .statut,
              401);
    // Nothing the refused forms asked for was sent: one command in all, the one answered.
    const Movendi::Test::Reponse k1 =
        Movendi::Test::requeteHttp(web, QStringLiteral("/flotte"), {});
    EXPECT_EQ(k1.statut, 303);
    service.terminate();
    ASSERT_TRUE(service.waitForFinished(10000));
    Backoffice::ConnexionPg base(banc.postgres.connexion(QStringLiteral("flotte")));
    QSqlQuery q = base.executer(QStringLiteral("SELECT COUNT(*), MIN(commande) FROM commandes"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
    EXPECT_EQ(q.value(1).toString(), QStringLiteral("etat"));
}

} // namespace
