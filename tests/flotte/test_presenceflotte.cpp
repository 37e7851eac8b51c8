#include "config/reglagesflotte.h"
#include "flotte/presenceflotte.h"
#include "platform/lienmqtt.h"

#include <gtest/gtest.h>

using namespace Movendi;

namespace {

Config::ReglagesFlotte reglages()
{
    Config::ReglagesFlotte r;
    r.prefixe = QStringLiteral("movendi/v1");
    r.kiosque = QStringLiteral("K1");
    r.lien.serveur = QStringLiteral("broker");
    r.lien.identifiant = r.kiosque;
    return r;
}

// "en-ligne" at every connection (a reconnection too: the will may have said otherwise
// meanwhile), "hors-ligne" before the goodbye; all retained at QoS 1 on the presence topic.
TEST(PresenceFlotteTest, OnlineAtEachConnectionOfflineBeforeTheGoodbye)
{
    Platform::LienMqttEnregistre lien;
    Flotte::PresenceFlotte presence(lien, reglages());
    presence.demarrer();
    EXPECT_EQ(lien.reglages().serveur, QStringLiteral("broker"));
    EXPECT_TRUE(lien.publications().isEmpty());

    lien.simulerConnexion();
    lien.simulerCoupure(QStringLiteral("link lost"));
    lien.simulerConnexion();
    presence.arreter();
    EXPECT_EQ(lien.etat(), Platform::EtatLienMqtt::Arrete);

    QStringList dits;
    for (const Platform::LienMqttEnregistre::Publication &p : lien.publications()) {
        EXPECT_EQ(p.sujet, QStringLiteral("movendi/v1/K1/presence"));
        EXPECT_EQ(p.qos, 1);
        EXPECT_TRUE(p.retenu);
        dits << QString::fromUtf8(p.charge);
    }
    EXPECT_EQ(dits, (QStringList{QStringLiteral("en-ligne"), QStringLiteral("en-ligne"),
                                 QStringLiteral("hors-ligne")}));
}

} // namespace
