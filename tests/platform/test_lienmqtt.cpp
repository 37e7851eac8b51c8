#include "brokermqtt.h"
#include "scaledclock.h"

#include "platform/installation.h"
#include "platform/lienmosquitto.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace Movendi::Platform;

namespace {

TEST(DelaiReconnexionTest, DoublesFromOneSecondUpToOneMinute)
{
    const std::pair<int, qint64> attendus[] = {{0, 1000},  {1, 1000},  {2, 2000},    {3, 4000},
                                               {6, 32000}, {7, 60000}, {100, 60000}, {-5, 1000}};
    for (const auto &[echecs, ms] : attendus)
        EXPECT_EQ(delaiReconnexionMs(echecs), ms) << echecs;
}

// What an independent client (mosquitto_sub) receives on a topic: retained messages included.
QStringList recuPar(quint16 port, const QString &sujet, int combien, int secondes)
{
    QProcess sub;
    sub.start(QStringLiteral("mosquitto_sub"),
              {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
               QString::number(port), QStringLiteral("-t"), sujet, QStringLiteral("-C"),
               QString::number(combien), QStringLiteral("-W"), QString::number(secondes)});
    sub.waitForFinished((secondes + 5) * 1000);
    return QString::fromUtf8(sub.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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
    Movendi::Test::ScaledClock m_horloge{10};
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
    EXPECT_EQ(recuPar(m_broker.port(), QStringLiteral("t/K1/etat"), 1, 3),
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

// The will is the broker's word for a kiosk that vanished, not for one that said goodbye.
TEST_F(LienMqttTest, Will_PublishedOnAnAbruptEndNotOnAnOrderlyStop)
{
    {
        LienMosquitto lien;
        ASSERT_TRUE(connecter(lien, reglages(QStringLiteral("K2"))));
        lien.arreter();
    }
    EXPECT_TRUE(recuPar(m_broker.port(), QStringLiteral("t/K2/presence"), 1, 2).isEmpty());

    auto lien = std::make_unique<LienMosquitto>();
    ASSERT_TRUE(connecter(*lien, reglages(QStringLiteral("K3"))));
    // Gone without a DISCONNECT, as a killed kiosk's socket is closed by its kernel.
    lien.reset();
    EXPECT_EQ(recuPar(m_broker.port(), QStringLiteral("t/K3/presence"), 1, 5),
              QStringList{QStringLiteral("hors-ligne")});
}

} // namespace
