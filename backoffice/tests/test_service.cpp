// movendi-flotte as operators run it, against a real PostgreSQL and a real Mosquitto: it
// refuses a database without its schema, init makes it, and the service stores what kiosks
// publish, each event once, including what came while it was stopped (its session is kept).
#include "brokermqtt.h"
#include "entrepot/connexionpg.h"
#include "helperprocess.h"
#include "kiosktest.h"
#include "serveurpostgres.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Movendi;

namespace {

struct Sortie
{
    int code = -1;
    QString texte;
};

Sortie lancer(const QStringList &arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(Movendi::Test::binaryPath("movendi-flotte"), arguments);
    const bool fini = p.waitForFinished(30000);
    return {fini ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

bool publier(quint16 port, const QString &sujet, const QByteArray &charge, bool retenu = false)
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

QByteArray evenement(int seq, const char *type, const char *champs = "")
{
    return QStringLiteral(R"({"v":1,"kiosque":"K7","seq":%1,"id":"K7:%1","type":"%2",)"
                          R"("horodatage":"2026-12-09T10:00:00Z"%3})")
        .arg(seq)
        .arg(QLatin1String(type), QLatin1String(champs))
        .toUtf8();
}

TEST(ServiceFlotte, InitThenEveryEventStoredOnceAlsoThoseSentWhileItWasStopped)
{
    Movendi::Test::ServeurPostgres postgres;
    ASSERT_TRUE(postgres.start());
    ASSERT_TRUE(postgres.creerBase(QStringLiteral("flotte")));
    Movendi::Test::BrokerMqtt broker;
    ASSERT_TRUE(broker.start());
    QTemporaryDir dossier;
    const QString config = dossier.filePath(QStringLiteral("movendi-flotte.conf"));
    QFile f(config);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("[MQTT]\nServeur=127.0.0.1\nPort=%1\n[PostgreSQL]\nConnexion=%2\n")
                .arg(broker.port())
                .arg(postgres.connexion(QStringLiteral("flotte")))
                .toUtf8());
    f.close();

    Sortie s = lancer({QStringLiteral("--config"), config});
    EXPECT_EQ(s.code, 1);
    EXPECT_TRUE(s.texte.contains(QStringLiteral("lancez movendi-flotte init")))
        << s.texte.toStdString();
    s = lancer({QStringLiteral("init"), QStringLiteral("--config"), config});
    EXPECT_EQ(s.code, 0) << s.texte.toStdString();
    EXPECT_TRUE(s.texte.contains(QStringLiteral("schéma mis en version 1")));

    Backoffice::ConnexionPg base(postgres.connexion(QStringLiteral("flotte")));
    const auto compter = [&](const char *sql) {
        QSqlQuery q = base.executer(QLatin1String(sql));
        return q.next() ? q.value(0).toInt() : -1;
    };
    const auto demarrer = [&](QProcess &service) {
        service.setProcessChannelMode(QProcess::ForwardedChannels);
        service.start(Movendi::Test::binaryPath("movendi-flotte"),
                      {QStringLiteral("--config"), config});
        const qsizetype abonnements =
            broker.log().count(QLatin1String("SUBSCRIBE from movendi-flotte"));
        return Movendi::Test::HelperProcess::waitUntil(
            [&] {
                return broker.log().count(QLatin1String("SUBSCRIBE from movendi-flotte")) >
                       abonnements;
            },
            20000);
    };

    QProcess service;
    ASSERT_TRUE(demarrer(service)) << broker.log().toStdString();
    ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K7/presence"), "en-ligne", true));
    const QByteArray vente = evenement(
        1, "vente",
        R"(,"numVente":3,"montantCentimes":1000,"statutDebit":0,"reprise":false,)"
        R"("carte":"497010******7893","noRemise":1,"lignes":[{"ref":201,"designation":"R",)"
        R"("famille":2,"montantCentimes":1000,"imei":null,"serie":"7201583002199309"}])");
    for (int fois = 0; fois < 2; ++fois)
        ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K7/evenements"), vente));
    ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K7/evenements"), "{tronqué"));
    EXPECT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] { return compter("SELECT COUNT(*) FROM messages_rejetes") == 1; }, 20000));
    EXPECT_EQ(compter("SELECT COUNT(*) FROM ventes"), 1);
    EXPECT_EQ(compter("SELECT SUM(montant_centimes) FROM ventes"), 1000);
    EXPECT_EQ(compter("SELECT COUNT(*) FROM kiosques WHERE presence = 'en-ligne'"), 1);

    // Stopped in order; what comes meanwhile waits in its session on the broker.
    service.terminate();
    ASSERT_TRUE(service.waitForFinished(10000));
    EXPECT_EQ(service.exitCode(), 0);
    ASSERT_TRUE(publier(broker.port(), QStringLiteral("movendi/v1/K7/evenements"),
                        evenement(2, "arret", R"(,"version":"0.1")")));
    ASSERT_TRUE(demarrer(service));
    EXPECT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] { return compter("SELECT COUNT(*) FROM evenements") == 2; }, 20000));
    service.terminate();
    service.waitForFinished(10000);
}

} // namespace
