// The kiosk killed (SIGKILL, as a power cut) after a sale was recorded and before the broker
// acknowledged its event: the restarted kiosk sends it, and a consumer that drops repeats by id
// sees it once.
#include "brokermqtt.h"
#include "config/reglagesflotte.h"
#include "dossierapplication.h"
#include "helperprocess.h"
#include "kiosktest.h"
#include "platform/profilefile.h"
#include "printersim.h"
#include "store/storedatabase.h"
#include "tpesim.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <csignal>

using namespace Movendi;

namespace {

quint16 portFerme()
{
    QTcpServer ecoute;
    ecoute.listen(QHostAddress::LocalHost, 0);
    return ecoute.serverPort();
}

TEST(FlotteCoupure, KilledBeforeTheAcknowledgement_TheSaleIsSentAfterTheRestart)
{
    QTemporaryDir dossier;
    const QString d = dossier.path();
    ASSERT_TRUE(Admin::initialiserDossier(d, Movendi::Test::simulatorLibraryPath()).ok);
    const QString ini = QDir(d).filePath(QStringLiteral("RURUDIZ.ini"));
    const auto ecrire = [&](const QString &section, const QString &cle, const QString &valeur) {
        ASSERT_TRUE(Platform::writeProfileString(ini, section, cle, valeur));
    };
    ecrire(QStringLiteral("Email"), QStringLiteral("Port"), QString::number(portFerme()));
    Movendi::Test::eloignerNuit(ini);
    Movendi::Test::BrokerMqtt broker;
    ASSERT_TRUE(broker.start());
    ecrire(QStringLiteral("Flotte"), QStringLiteral("Serveur"), QStringLiteral("127.0.0.1"));
    ecrire(QStringLiteral("Flotte"), QStringLiteral("Port"), QString::number(broker.port()));
    const QString kiosque =
        Config::nomKiosque(Platform::readProfileString(ini, QStringLiteral("Machine"),
                                                       QStringLiteral("Indentité Machine"))
                               .value);
    QDir().mkpath(QDir(d).filePath(QStringLiteral("dev")));
    Movendi::Test::TpeSimulator terminal;
    Movendi::Test::PrinterSimulator imprimante;
    ASSERT_TRUE(terminal.start({QStringLiteral("carte absente"), QStringLiteral("insertion 1")},
                               QDir(d).filePath(QStringLiteral("dev/com1"))));
    ASSERT_TRUE(imprimante.start(QDir(d).filePath(QStringLiteral("dev/com2"))));

    QProcess consommateur;
    consommateur.start(QStringLiteral("mosquitto_sub"),
                       {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                        QString::number(broker.port()), QStringLiteral("-t"),
                        QStringLiteral("movendi/v1/%1/evenements").arg(kiosque),
                        QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-c"),
                        QStringLiteral("-i"), QStringLiteral("consommateur")});
    ASSERT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] { return broker.log().contains(QLatin1String("consommateur")); }, 10000));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    Movendi::Test::sansControleFuitesFilm(env);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("MOVENDI_BOITES"), QDir(d).filePath(QStringLiteral("boites")));
    QProcess client;
    client.setProcessEnvironment(env);
    client.start(Movendi::Test::binaryPath("movendi-captures"),
                 {QStringLiteral("--dossier"), d, QStringLiteral("--vente"),
                  QStringLiteral("coupure"), QDir(d).filePath(QStringLiteral("captures"))});
    // Connected: from now on the broker hears and answers nothing.
    ASSERT_TRUE(Movendi::Test::HelperProcess::waitUntil(
        [&] { return broker.log().contains(kiosque); }, 20000))
        << broker.log().toStdString();
    broker.suspendre(true);
    const auto compter = [&](const char *sql) {
        Store::StoreDatabase base(QDir(d).filePath(QStringLiteral("DBMovendi.db")));
        return base.lire(QLatin1String(sql)).lignes.at(0).at(0).toInt();
    };
    const bool enregistree = Movendi::Test::HelperProcess::waitUntil(
        [&] { return compter("SELECT COUNT(*) FROM Ventes") == 1; }, 60000);
    ::kill(pid_t(client.processId()), SIGKILL);
    client.waitForFinished(10000);
    broker.suspendre(false);
    ASSERT_TRUE(enregistree);
    ASSERT_GE(compter("SELECT COUNT(*) FROM BoiteEnvoi WHERE Type = 'vente'"), 1)
        << "the event left the outbox before any acknowledgement";

    // The kiosk again, without a sale: it starts, sends what waits, and ends.
    QProcess reprise;
    reprise.setProcessEnvironment(env);
    reprise.start(Movendi::Test::binaryPath("movendi-captures"),
                  {QStringLiteral("--dossier"), d, QDir(d).filePath(QStringLiteral("reprise"))});
    ASSERT_TRUE(reprise.waitForFinished(90000));
    const QByteArray erreurs = reprise.readAllStandardError();
    EXPECT_EQ(reprise.exitCode(), 0)
        << erreurs.mid(qMax(0, erreurs.indexOf("ERROR:")), 30000).toStdString();

    QSet<QString> ventes;
    int recues = 0;
    Movendi::Test::HelperProcess::waitUntil(
        [&] {
            consommateur.waitForReadyRead(50);
            for (const QByteArray &l : consommateur.readAllStandardOutput().split('\n')) {
                const QJsonObject o = QJsonDocument::fromJson(l).object();
                if (o.value(QStringLiteral("type")).toString() == QLatin1String("vente")) {
                    ++recues;
                    ventes.insert(o.value(QStringLiteral("id")).toString());
                }
            }
            return !ventes.isEmpty();
        },
        20000);
    EXPECT_EQ(ventes.size(), 1) << recues << " message(s) de vente";
    EXPECT_EQ(compter("SELECT COUNT(*) FROM BoiteEnvoi WHERE Type = 'vente'"), 0);
    consommateur.kill();
    consommateur.waitForFinished();
}

} // namespace
