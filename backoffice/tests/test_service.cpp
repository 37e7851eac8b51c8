// movendi-flotte as operators run it, against a real PostgreSQL and a real Mosquitto: it
// refuses a database without its schema, init makes it, and the service stores what kiosks
// publish, each event once, including what came while it was stopped (its session is kept); its
// API shows the fleet and the sales behind the token, and a command posted to it reaches the
// kiosk, whose answer then shows.
#include "entrepot/connexionpg.h"
#include "entrepot/operateurs.h"
#include "helperprocess.h"
#include "kiosktest.h"
#include "serviceflotte.h"
#include "smtpserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

using namespace Movendi;

namespace {

Test::Sortie lancer(const QStringList &arguments)
{
    return Test::lancerFlotte(arguments);
}

using Test::publier;
using Test::Reponse;

// An event of kiosk K7 happening now (the API's days are the server's).
QByteArray evenement(int seq, const char *type, const char *champs = "")
{
    return QStringLiteral(R"({"v":1,"kiosque":"K7","seq":%1,"id":"K7:%1","type":"%2",)"
                          R"("horodatage":"%3"%4})")
        .arg(seq)
        .arg(QLatin1String(type), QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
             QLatin1String(champs))
        .toUtf8();
}

// GET, or POST when a body is given.
Reponse obtenir(quint16 port, const QString &chemin, const QByteArray &jeton,
                const QByteArray &accept = "application/json", const QByteArray &corps = {})
{
    QList<QPair<QByteArray, QByteArray>> entetes{{"Accept", accept},
                                                 {"Content-Type", "application/json"}};
    if (!jeton.isEmpty())
        entetes.append({"Authorization", "Bearer " + jeton});
    return Test::requeteHttp(port, chemin, entetes, corps);
}

TEST(ServiceFlotte, InitEventsStoredOnceApiAndACommandThereAndBack)
{
    Movendi::Test::BancFlotte banc;
    ASSERT_TRUE(banc.preparer({QStringLiteral("Jeton=s3cr3t-jeton")}, false));
    auto &postgres = banc.postgres;
    auto &broker = banc.broker;
    const QString config = banc.config;
    const quint16 web = banc.web;

    Movendi::Test::Sortie s = lancer({QStringLiteral("--config"), config});
    EXPECT_EQ(s.code, 1);
    EXPECT_TRUE(s.texte.contains(QStringLiteral("lancez movendi-flotte init")))
        << s.texte.toStdString();
    s = lancer({QStringLiteral("init"), QStringLiteral("--config"), config});
    EXPECT_EQ(s.code, 0) << s.texte.toStdString();
    EXPECT_TRUE(s.texte.contains(QStringLiteral("schéma mis en version 2")));

    // An operator's password comes on standard input, never on the command line.
    s = Movendi::Test::lancerFlotte(
        {QStringLiteral("operateur"), QStringLiteral("--config"), config, QStringLiteral("alice")},
        "un mot de passe solide\n");
    EXPECT_EQ(s.code, 0) << s.texte.toStdString();

    Backoffice::ConnexionPg base(postgres.connexion(QStringLiteral("flotte")));
    EXPECT_TRUE(Backoffice::authentifierOperateur(base, QStringLiteral("alice"),
                                                  QStringLiteral("un mot de passe solide")));
    const auto compter = [&](const char *sql) {
        QSqlQuery q = base.executer(QLatin1String(sql));
        return q.next() ? q.value(0).toInt() : -1;
    };
    QProcess service;
    ASSERT_TRUE(banc.demarrer(service)) << broker.log().toStdString();
    ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K7/presence"), "en-ligne", true));
    const QByteArray vente = evenement(
        1, "vente",
        R"(,"numVente":3,"montantCentimes":1000,"statutDebit":0,"reprise":false,)"
        R"("carte":"497010******7893","noRemise":1,"lignes":[{"ref":201,"designation":"R",)"
        R"("famille":2,"montantCentimes":1000,"imei":null,"serie":"7201583002199309"}])");
    for (int fois = 0; fois < 2; ++fois)
        ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K7/evenements"), vente));
    ASSERT_TRUE(
        publier(broker.port(), QStringLiteral("movendi/v1/K7/evenements"),
                evenement(5, "telecollecte",
                          R"(,"noRemise":1,"nbTransactions":1,"montantCentimes":1000,)"
                          R"("local":{"nbDebits":1,"montantCentimes":1000},"ecart":false)")));
    ASSERT_TRUE(publier(
        broker.port(), QStringLiteral("movendi/v1/K7/etat"),
        QStringLiteral(R"({"v":1,"kiosque":"K7","horodatage":"%1","version":"1.0","depuis":"%1",)"
                       R"("ecran":"accueil","enService":true,"derniereVente":"%1","stock":[)"
                       R"({"ref":201,"designation":"R","famille":2,"qte":7}],)"
                       R"("emplacementsLibres":{"telephones":3,"recharges":1},"fileAttente":0,)"
                       R"("erreurs24h":0})")
            .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
            .toUtf8(),
        true));
    ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K7/evenements"), "{tronqué"));
    EXPECT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] { return compter("SELECT COUNT(*) FROM messages_rejetes") == 1; }, 20000));
    EXPECT_EQ(compter("SELECT COUNT(*) FROM ventes"), 1);
    EXPECT_EQ(compter("SELECT SUM(montant_centimes) FROM ventes"), 1000);
    EXPECT_EQ(compter("SELECT COUNT(*) FROM kiosques WHERE presence = 'en-ligne'"), 1);

    // The API: the kiosk, its day's sale and amount, behind the token.
    EXPECT_EQ(obtenir(web, QStringLiteral("/api/v1/kiosques"), {}).statut, 401);
    EXPECT_EQ(obtenir(web, QStringLiteral("/api/v1/kiosques"), "s3cr3t-jetoN").statut, 401);
    const Reponse flotte = obtenir(web, QStringLiteral("/api/v1/kiosques"), "s3cr3t-jeton");
    ASSERT_EQ(flotte.statut, 200) << flotte.corps.toStdString();
    const QJsonArray kiosques = QJsonDocument::fromJson(flotte.corps).array();
    ASSERT_EQ(kiosques.size(), 1);
    const QJsonObject k7 = kiosques.at(0).toObject();
    EXPECT_EQ(k7.value(QStringLiteral("kiosque")).toString(), QStringLiteral("K7"));
    EXPECT_EQ(k7.value(QStringLiteral("presence")).toString(), QStringLiteral("en-ligne"));
    EXPECT_EQ(k7.value(QStringLiteral("ventesJour")).toInt(), 1);
    EXPECT_EQ(k7.value(QStringLiteral("montantJourCentimes")).toInt(), 1000);
    EXPECT_EQ(k7.value(QStringLiteral("alertesOuvertes")).toInt(), 0);
    EXPECT_EQ(obtenir(web, QStringLiteral("/api/v1/alertes"), {}).statut, 401);
    const Reponse alertes =
        obtenir(web, QStringLiteral("/api/v1/alertes?toutes=1"), "s3cr3t-jeton");
    EXPECT_EQ(alertes.statut, 200);
    EXPECT_TRUE(QJsonDocument::fromJson(alertes.corps).isArray());
    EXPECT_EQ(obtenir(web, QStringLiteral("/api/v1/kiosques/K9"), "s3cr3t-jeton").statut, 404);
    // A name no kiosk can have is unknown without a word from the database, which refuses a NUL.
    EXPECT_EQ(obtenir(web, QStringLiteral("/api/v1/kiosques/K%00%00"), "s3cr3t-jeton").statut, 404);
    EXPECT_EQ(obtenir(web,
                      QStringLiteral("/api/v1/ventes?du=2026-12-01&au=2026-12-02&kiosque=K%00"),
                      "s3cr3t-jeton")
                  .statut,
              400);
    // The kiosk's stock from its state, its remittance beside its own debits.
    const QJsonObject detail =
        QJsonDocument::fromJson(
            obtenir(web, QStringLiteral("/api/v1/kiosques/K7"), "s3cr3t-jeton").corps)
            .object();
    const QJsonObject stock = detail.value(QStringLiteral("stock")).toArray().at(0).toObject();
    EXPECT_EQ(stock.value(QStringLiteral("ref")).toInt(), 201);
    EXPECT_EQ(stock.value(QStringLiteral("qte")).toInt(), 7);
    EXPECT_EQ(detail.value(QStringLiteral("emplacementsLibres"))
                  .toObject()
                  .value(QStringLiteral("recharges"))
                  .toInt(),
              1);
    const QJsonObject remise = detail.value(QStringLiteral("remises")).toArray().at(0).toObject();
    EXPECT_EQ(remise.value(QStringLiteral("montantCentimes")).toInt(), 1000);
    EXPECT_EQ(remise.value(QStringLiteral("nbTransactions")).toInt(), 1);
    EXPECT_EQ(
        remise.value(QStringLiteral("local")).toObject().value(QStringLiteral("nbDebits")).toInt(),
        1);
    EXPECT_FALSE(remise.value(QStringLiteral("ecart")).toBool());
    const QString jour = QDate::currentDate().toString(Qt::ISODate);
    const QString periode = QStringLiteral("/api/v1/ventes?du=%1&au=%1&kiosque=K7").arg(jour);
    const Reponse json = obtenir(web, periode, "s3cr3t-jeton");
    ASSERT_EQ(json.statut, 200);
    const QJsonArray ventes = QJsonDocument::fromJson(json.corps).array();
    ASSERT_EQ(ventes.size(), 1);
    EXPECT_EQ(ventes.at(0).toObject().value(QStringLiteral("carte")).toString(),
              QStringLiteral("497010******7893"));
    // Every kiosk's when none is named.
    const Reponse toutes =
        obtenir(web, QStringLiteral("/api/v1/ventes?du=%1&au=%1").arg(jour), "s3cr3t-jeton");
    EXPECT_EQ(QJsonDocument::fromJson(toutes.corps).array().size(), 1);
    const Reponse csv = obtenir(web, periode, "s3cr3t-jeton", "text/csv");
    EXPECT_TRUE(csv.type.startsWith("text/csv")) << csv.type.toStdString();
    EXPECT_EQ(csv.corps.count("\r\n"), 2) << csv.corps.toStdString();
    EXPECT_TRUE(csv.corps.contains("K7;3;")) << csv.corps.toStdString();
    EXPECT_EQ(obtenir(web, QStringLiteral("/api/v1/ventes?du=hier&au=%1").arg(jour), "s3cr3t-jeton")
                  .statut,
              400);

    // A command from the API reaches the kiosk (here a client on its topics), and its answer
    // shows with the kiosk.
    QProcess kiosque;
    kiosque.start(QStringLiteral("mosquitto_sub"),
                  {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                   QString::number(broker.port()), QStringLiteral("-t"),
                   QStringLiteral("movendi/v1/K7/commandes"), QStringLiteral("-C"),
                   QStringLiteral("1"), QStringLiteral("-W"), QStringLiteral("20")});
    ASSERT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] { return broker.log().count(QLatin1String("SUBSCRIBE from")) >= 2; }, 10000));
    EXPECT_EQ(obtenir(web, QStringLiteral("/api/v1/kiosques/K7/commandes"), "s3cr3t-jeton",
                      "application/json", R"({"commande":"ouvrir-porte"})")
                  .statut,
              400);
    const Reponse envoi =
        obtenir(web, QStringLiteral("/api/v1/kiosques/K7/commandes"), "s3cr3t-jeton",
                "application/json", R"({"commande":"hors-service"})");
    ASSERT_EQ(envoi.statut, 202) << envoi.corps.toStdString();
    const QString id =
        QJsonDocument::fromJson(envoi.corps).object().value(QStringLiteral("id")).toString();
    ASSERT_TRUE(kiosque.waitForFinished(20000));
    const QJsonObject recue = QJsonDocument::fromJson(kiosque.readAllStandardOutput()).object();
    EXPECT_EQ(recue.value(QStringLiteral("id")).toString(), id);
    EXPECT_EQ(recue.value(QStringLiteral("commande")).toString(), QStringLiteral("hors-service"));
    ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K7/reponses"),
                        QStringLiteral(R"({"id":"%1","resultat":"ok","message":"hors service"})")
                            .arg(id)
                            .toUtf8()));
    QJsonObject commande;
    EXPECT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] {
            const Reponse k = obtenir(web, QStringLiteral("/api/v1/kiosques/K7"), "s3cr3t-jeton");
            commande = QJsonDocument::fromJson(k.corps)
                           .object()
                           .value(QStringLiteral("commandes"))
                           .toArray()
                           .at(0)
                           .toObject();
            return commande.value(QStringLiteral("resultat")).toString() == QLatin1String("ok");
        },
        10000));
    EXPECT_EQ(commande.value(QStringLiteral("id")).toString(), id);

    // The database goes away for a while: what comes meanwhile is stored once it is back.
    postgres.stop();
    ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K7/evenements"),
                        evenement(3, "alarme", R"(,"code":"base","contexte":"M","message":"x")")));
    QThread::msleep(3000);
    ASSERT_TRUE(postgres.redemarrer());
    EXPECT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] { return compter("SELECT COUNT(*) FROM alarmes") == 1; }, 20000));

    // Stopped in order; what comes meanwhile waits in its session on the broker.
    service.terminate();
    ASSERT_TRUE(service.waitForFinished(10000));
    EXPECT_EQ(service.exitCode(), 0);
    ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K7/evenements"),
                        evenement(2, "arret", R"(,"version":"0.1")")));
    ASSERT_TRUE(banc.demarrer(service));
    EXPECT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] { return compter("SELECT COUNT(*) FROM evenements") == 4; }, 20000));
    service.terminate();
    service.waitForFinished(10000);
}

// A kiosk that says it goes away opens its alert, mailed once through a real SMTP server however
// many passes follow; once it is back the alert closes with its "rétabli" mail.
TEST(ServiceFlotte, KioskOffline_AlertMailedOnceThenRetabliWhenItIsBack)
{
    Movendi::Test::SmtpServer smtp;
    ASSERT_TRUE(smtp.start());
    Movendi::Test::BancFlotte banc;
    ASSERT_TRUE(banc.preparer(
        {QStringLiteral("[Email]"), QStringLiteral("SMTP=127.0.0.1"),
         QStringLiteral("Port=%1").arg(smtp.port()), QStringLiteral("MailFrom=flotte@movendi.test"),
         QStringLiteral("Mailto1=exploitant@movendi.test"), QStringLiteral("[Alertes]"),
         QStringLiteral("HorsLigneMinutes=0"), QStringLiteral("PasseSecondes=1")}));
    auto &broker = banc.broker;
    QProcess service;
    ASSERT_TRUE(banc.demarrer(service));
    const auto mails = [&](const char *texte) {
        int n = 0;
        for (const Movendi::Test::ReceivedMail &m : smtp.mails())
            n += m.content.contains(texte);
        return n;
    };
    ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K5/presence"), "en-ligne", true));
    QThread::msleep(2500);
    ASSERT_TRUE(
        publier(broker.port(), QStringLiteral("movendi/v1/K5/presence"), "hors-ligne", true));
    ASSERT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] { return mails("Alerte K5: hors-ligne") == 1; }, 15000));
    // Several passes later: still the one mail.
    QThread::msleep(3500);
    EXPECT_EQ(mails("Alerte K5: hors-ligne"), 1);
    const Movendi::Test::ReceivedMail premier = smtp.mails().at(0);
    EXPECT_EQ(premier.rcptTos, QStringList{QStringLiteral("exploitant@movendi.test")});
    EXPECT_TRUE(premier.content.contains("hors-ligne depuis")) << premier.content.toStdString();

    ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K5/presence"), "en-ligne", true));
    EXPECT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] { return mails("Rétabli K5: hors-ligne") == 1; }, 15000));
    EXPECT_EQ(smtp.mails().size(), 2);
    service.terminate();
    ASSERT_TRUE(service.waitForFinished(10000));
}

} // namespace
