#include "brokermqtt.h"
#include "client/scaledclock.h"

#include "platform/installation.h"
#include "platform/lienmosquitto.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

using namespace Movendi::Platform;

namespace {

TEST(DelaiReconnexionTest, DoublesFromOneSecondUpToOneMinute)
{
    const std::pair<int, qint64> attendus[] = {{0, 1000},  {1, 1000},  {2, 2000},    {3, 4000},
                                               {6, 32000}, {7, 60000}, {100, 60000}, {-5, 1000}};
    for (const auto &[echecs, ms] : attendus)
        EXPECT_EQ(delaiReconnexionMs(echecs), ms) << echecs;
}

class LienMqttTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_broker.start()); }

    ReglagesLienMqtt reglages(const QString &id = QStringLiteral("K1")) const
    {
        ReglagesLienMqtt r;
        r.serveur = QStringLiteral("127.0.0.1");
        r.port = m_broker.port();
        r.identifiant = id;
        r.keepAliveS = 5;
        r.sujetTestament = QStringLiteral("t/%1/presence").arg(id);
        r.testament = "hors-ligne";
        return r;
    }
    static bool connecter(LienMqtt &lien, const ReglagesLienMqtt &r)
    {
        lien.demarrer(r);
        return QTest::qWaitFor([&] { return lien.etat() == EtatLienMqtt::Connecte; }, 10000);
    }

    // Time runs ten times faster for the link's timers: back-off and keep-alive checks.
    Movendi::Client::ScaledClock m_horloge{10};
    InstalledClock m_horlogeInstallee{&m_horloge};
    Movendi::Test::BrokerMqtt m_broker;
};

TEST_F(LienMqttTest, PublishedAcknowledged_SubscribedReceived)
{
    LienMosquitto lien;
    ASSERT_TRUE(connecter(lien, reglages())) << lien.derniereErreur().toStdString();
    QSignalSpy recus(&lien, &LienMqtt::recu);
    QSignalSpy acquittes(&lien, &LienMqtt::acquitte);
    ASSERT_TRUE(lien.abonner(QStringLiteral("t/K1/commandes"), 1));
    // The subscription is the broker's once it has answered; a retained message proves it.
    QProcess::execute(QStringLiteral("mosquitto_pub"),
                      {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                       QString::number(m_broker.port()), QStringLiteral("-t"),
                       QStringLiteral("t/K1/commandes"), QStringLiteral("-q"), QStringLiteral("1"),
                       QStringLiteral("-r"), QStringLiteral("-m"),
                       QStringLiteral("{\"commande\":\"etat\"}")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recus.isEmpty(); }, 5000));
    EXPECT_EQ(recus.first().at(0).toString(), QStringLiteral("t/K1/commandes"));
    EXPECT_EQ(recus.first().at(1).toByteArray(), QByteArray("{\"commande\":\"etat\"}"));

    const std::optional<int> id =
        lien.publier(QStringLiteral("t/K1/etat"), QByteArray("{\"v\":1}"), 1, true);
    ASSERT_TRUE(id);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !acquittes.isEmpty(); }, 5000));
    EXPECT_EQ(acquittes.first().at(0).toInt(), *id);
    EXPECT_EQ(m_broker.recu(QStringLiteral("t/K1/etat"), 1, 3),
              QStringList{QStringLiteral("{\"v\":1}")});
}

// A broker that goes away and comes back: the link says so, waits its turn, and is back on its
// own; nothing is published meanwhile.
TEST_F(LienMqttTest, BrokerRestarted_LinkBackWithoutBeingAsked)
{
    LienMosquitto lien;
    ASSERT_TRUE(connecter(lien, reglages()));
    QSignalSpy coupures(&lien, &LienMqtt::deconnecte);
    QSignalSpy connexions(&lien, &LienMqtt::connecte);
    m_broker.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !coupures.isEmpty(); }, 5000));
    EXPECT_NE(lien.etat(), EtatLienMqtt::Connecte);
    EXPECT_FALSE(lien.publier(QStringLiteral("t/K1/evenements"), "x", 1, false));
    ASSERT_TRUE(m_broker.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !connexions.isEmpty(); }, 10000))
        << lien.derniereErreur().toStdString();
    // The broker kept the session it persisted.
    EXPECT_TRUE(connexions.first().at(0).toBool());
    EXPECT_TRUE(lien.publier(QStringLiteral("t/K1/evenements"), "x", 1, false));
}

// Nothing listens: start-up returns at once and the attempts go on, each ending with its reason.
TEST_F(LienMqttTest, NothingListening_AttemptsGoOnWithTheirReason)
{
    m_broker.stop();
    LienMosquitto lien;
    QSignalSpy connexions(&lien, &LienMqtt::connecte);
    lien.demarrer(reglages());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !lien.derniereErreur().isEmpty(); }, 5000));
    EXPECT_EQ(lien.etat(), EtatLienMqtt::Attente);
    QTest::qWait(300);
    EXPECT_TRUE(connexions.isEmpty());
    lien.arreter();
    EXPECT_EQ(lien.etat(), EtatLienMqtt::Arrete);
}

// A name that does not resolve ends the attempt like a broker that does not answer; a name that
// does is connected to by its address.
TEST_F(LienMqttTest, HostNames_LookedUpOffTheUiThread)
{
    LienMosquitto inconnu;
    ReglagesLienMqtt r = reglages();
    r.serveur = QStringLiteral("broker-absent.invalid");
    inconnu.demarrer(r);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !inconnu.derniereErreur().isEmpty(); }, 15000));
    EXPECT_NE(inconnu.etat(), EtatLienMqtt::Connecte);

    LienMosquitto local;
    r.serveur = QStringLiteral("localhost");
    r.identifiant = QStringLiteral("K4");
    EXPECT_TRUE(connecter(local, r)) << local.derniereErreur().toStdString();
}

// The will is the broker's word for a kiosk that vanished, not for one that said goodbye.
TEST_F(LienMqttTest, Will_PublishedOnAnAbruptEndNotOnAnOrderlyStop)
{
    {
        LienMosquitto lien;
        ASSERT_TRUE(connecter(lien, reglages(QStringLiteral("K2"))));
        lien.arreter();
    }
    EXPECT_TRUE(m_broker.recu(QStringLiteral("t/K2/presence"), 1, 2).isEmpty());

    auto lien = std::make_unique<LienMosquitto>();
    ASSERT_TRUE(connecter(*lien, reglages(QStringLiteral("K3"))));
    // Gone without a DISCONNECT, as a killed kiosk's socket is closed by its kernel.
    lien.reset();
    EXPECT_EQ(m_broker.recu(QStringLiteral("t/K3/presence"), 1, 5),
              QStringList{QStringLiteral("hors-ligne")});
}

} // namespace

namespace {

// A CA, and certificates it signs, made with openssl in a folder of the test.
class Certificats
{
public:
    explicit Certificats(const QString &dossier) : m_dossier(dossier)
    {
        QFile::setPermissions(dossier, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther);
    }
    bool autorite(const QString &nom)
    {
        return openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                        QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                        QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                        QStringLiteral("/CN=") + nom, QStringLiteral("-keyout"),
                        chemin(nom + QStringLiteral(".key")), QStringLiteral("-out"),
                        chemin(nom + QStringLiteral(".pem"))});
    }
    // A certificate for `dns` (its subject and only name), signed by the CA `ca`.
    bool signe(const QString &nom, const QString &dns, const QString &ca)
    {
        const QString ext = chemin(nom + QStringLiteral(".ext"));
        QFile f(ext);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(QStringLiteral("subjectAltName=DNS:%1\n").arg(dns).toUtf8());
        f.close();
        return openssl({QStringLiteral("req"), QStringLiteral("-newkey"),
                        QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                        QStringLiteral("-subj"), QStringLiteral("/CN=") + dns,
                        QStringLiteral("-keyout"), chemin(nom + QStringLiteral(".key")),
                        QStringLiteral("-out"), chemin(nom + QStringLiteral(".csr"))}) &&
               openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                        chemin(nom + QStringLiteral(".csr")), QStringLiteral("-CA"),
                        chemin(ca + QStringLiteral(".pem")), QStringLiteral("-CAkey"),
                        chemin(ca + QStringLiteral(".key")), QStringLiteral("-CAcreateserial"),
                        QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                        ext, QStringLiteral("-out"), chemin(nom + QStringLiteral(".pem"))});
    }
    QString chemin(const QString &fichier) const { return m_dossier + QLatin1Char('/') + fichier; }

private:
    bool openssl(const QStringList &arguments) const
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"), arguments);
        const bool ok = p.waitForFinished(30000) && p.exitCode() == 0;
        if (!ok)
            ADD_FAILURE() << p.readAll().toStdString();
        // The broker reads them as its own user.
        for (const QString &f : QDir(m_dossier).entryList(QDir::Files))
            QFile::setPermissions(m_dossier + QLatin1Char('/') + f, QFileDevice::ReadOwner |
                                                                        QFileDevice::WriteOwner |
                                                                        QFileDevice::ReadOther);
        return ok;
    }
    QString m_dossier;
};

struct CasTls
{
    const char *nom;
    const char *serveur; // the name the kiosk connects to
    const char *ca;      // the CA it trusts
    bool certificatClient;
    bool connecte;
};

void PrintTo(const CasTls &c, std::ostream *os)
{
    *os << c.nom;
}

class LienMqttTlsTest : public ::testing::TestWithParam<CasTls>
{
protected:
    Movendi::Client::ScaledClock m_horloge{10};
    InstalledClock m_horlogeInstallee{&m_horloge};
    Movendi::Test::BrokerMqtt m_broker;
};

// The broker's certificate must come from the CA the kiosk was given and name the server it
// asked for; the broker takes only kiosks with a certificate of its CA.
TEST_P(LienMqttTlsTest, BrokerNameAndCertificatesChecked)
{
    const CasTls &c = GetParam();
    QTemporaryDir dossier;
    Certificats certificats(dossier.path());
    ASSERT_TRUE(certificats.autorite(QStringLiteral("ca")));
    ASSERT_TRUE(certificats.autorite(QStringLiteral("autre")));
    ASSERT_TRUE(certificats.signe(QStringLiteral("broker"), QStringLiteral("localhost"),
                                  QStringLiteral("ca")));
    ASSERT_TRUE(
        certificats.signe(QStringLiteral("kiosque"), QStringLiteral("K1"), QStringLiteral("ca")));
    ASSERT_TRUE(m_broker.start(
        Movendi::Test::BrokerMqtt::Tls{certificats.chemin(QStringLiteral("ca.pem")),
                                       certificats.chemin(QStringLiteral("broker.pem")),
                                       certificats.chemin(QStringLiteral("broker.key"))}));

    ReglagesLienMqtt r;
    r.serveur = QString::fromUtf8(c.serveur);
    r.port = m_broker.port();
    r.identifiant = QStringLiteral("K1");
    r.ca = certificats.chemin(QString::fromUtf8(c.ca) + QStringLiteral(".pem"));
    if (c.certificatClient) {
        r.certificat = certificats.chemin(QStringLiteral("kiosque.pem"));
        r.cle = certificats.chemin(QStringLiteral("kiosque.key"));
    }
    LienMosquitto lien;
    lien.demarrer(r);
    if (c.connecte) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return lien.etat() == EtatLienMqtt::Connecte; }, 10000))
            << lien.derniereErreur().toStdString() << m_broker.log().toStdString();
    } else {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !lien.derniereErreur().isEmpty(); }, 10000));
        EXPECT_NE(lien.etat(), EtatLienMqtt::Connecte);
    }
    lien.arreter();
}

INSTANTIATE_TEST_SUITE_P(
    Liens, LienMqttTlsTest,
    ::testing::Values(CasTls{"Verifie", "localhost", "ca", true, true},
                      CasTls{"NomAbsentDuCertificat", "127.0.0.1", "ca", true, false},
                      CasTls{"AutreAutorite", "localhost", "autre", true, false},
                      CasTls{"SansCertificatClient", "localhost", "ca", false, false}),
    [](const ::testing::TestParamInfo<CasTls> &cas) { return std::string(cas.param.nom); });

// A broker that misbehaves on the first connection, then passes the next ones on to the real one.
class BrokerDefaillant : public QObject
{
public:
    enum class Defaut { Muet, Goutte, Coupe };

    BrokerDefaillant(Defaut defaut, quint16 vraiPort) : m_defaut(defaut), m_vraiPort(vraiPort)
    {
        m_serveur.listen(QHostAddress::LocalHost);
        connect(&m_serveur, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *client = m_serveur.nextPendingConnection())
                accueillir(client);
        });
    }
    quint16 port() const { return m_serveur.serverPort(); }
    int connexions() const { return m_connexions; }

private:
    void accueillir(QTcpSocket *client)
    {
        client->setParent(this);
        if (++m_connexions > 1) {
            auto *broker = new QTcpSocket(client);
            broker->connectToHost(QHostAddress::LocalHost, m_vraiPort);
            connect(client, &QTcpSocket::readyRead, broker,
                    [client, broker] { broker->write(client->readAll()); });
            connect(broker, &QTcpSocket::readyRead, client,
                    [client, broker] { client->write(broker->readAll()); });
            connect(broker, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
            connect(client, &QTcpSocket::disconnected, broker, &QTcpSocket::disconnectFromHost);
            return;
        }
        // CONNACK, session accepted: the reply the client waits for.
        static const QByteArray connack("\x20\x02\x00\x00", 4);
        connect(client, &QTcpSocket::readyRead, client, [this, client] {
            client->readAll();
            if (m_repondu)
                return;
            m_repondu = true;
            if (m_defaut == Defaut::Coupe) {
                client->write(connack.left(2));
                client->flush();
                client->disconnectFromHost();
            } else if (m_defaut == Defaut::Goutte) {
                // A byte every 400 ms of real time: 16 s of the link's clock for the four.
                auto *goutte = new QTimer(client);
                connect(goutte, &QTimer::timeout, client, [client, goutte, i = 0]() mutable {
                    client->write(connack.mid(i++, 1));
                    if (i == connack.size())
                        goutte->stop();
                });
                goutte->start(400);
            }
        });
    }

    const Defaut m_defaut;
    const quint16 m_vraiPort;
    QTcpServer m_serveur;
    int m_connexions = 0;
    bool m_repondu = false;
};

struct CasBroker
{
    const char *nom;
    BrokerDefaillant::Defaut defaut;
    const char *raison;
};

class LienMqttBrokerDefaillantTest : public LienMqttTest,
                                     public ::testing::WithParamInterface<CasBroker>
{
};

// A broker that accepts and never answers, answers a byte at a time or closes mid-reply: the
// attempt ends within its bound with its reason, the screens' events go on meanwhile, and the
// next attempt, to a broker that answers, connects.
TEST_P(LienMqttBrokerDefaillantTest, AttemptEndsWithinItsBoundNextOneConnects)
{
    BrokerDefaillant defaillant(GetParam().defaut, m_broker.port());
    ReglagesLienMqtt r = reglages();
    r.port = defaillant.port();
    LienMosquitto lien;
    QSignalSpy connexions(&lien, &LienMqtt::connecte);
    int battements = 0;
    QTimer battement;
    QObject::connect(&battement, &QTimer::timeout, [&] { ++battements; });
    battement.start(10);

    const qint64 debut = m_horloge.monotonicMs();
    QElapsedTimer reel;
    reel.start();
    lien.demarrer(r);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lien.etat() == EtatLienMqtt::Attente; }, 5000));
    const qint64 duree = m_horloge.monotonicMs() - debut;
    EXPECT_LE(duree, LienMosquitto::DelaiTentativeMs + 1000);
    EXPECT_TRUE(lien.derniereErreur().contains(QLatin1String(GetParam().raison)))
        << lien.derniereErreur().toStdString();
    EXPECT_TRUE(connexions.isEmpty());
    // A 10 ms timer of the screens fired at least every other time.
    EXPECT_GE(battements, reel.elapsed() / 20) << "events held while the broker misbehaved";

    ASSERT_TRUE(QTest::qWaitFor([&] { return lien.etat() == EtatLienMqtt::Connecte; }, 5000))
        << lien.derniereErreur().toStdString();
    EXPECT_EQ(defaillant.connexions(), 2);
    lien.arreter();
}

INSTANTIATE_TEST_SUITE_P(
    Brokers, LienMqttBrokerDefaillantTest,
    ::testing::Values(CasBroker{"Muet", BrokerDefaillant::Defaut::Muet,
                                "no answer from the broker within 10 s"},
                      CasBroker{"Goutte", BrokerDefaillant::Defaut::Goutte,
                                "no answer from the broker within 10 s"},
                      CasBroker{"Coupe", BrokerDefaillant::Defaut::Coupe, "link lost: "}),
    [](const ::testing::TestParamInfo<CasBroker> &cas) { return std::string(cas.param.nom); });

} // namespace
