#include "kiosktest.h"
#include "platform/windows1252.h"
#include "startup/demarrage.h"
#include "state/etatdemarrage.h"

using namespace Movendi::State;
using namespace Movendi::Startup;

namespace {

class ConfigurationTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        etat().CheminIni = path(QStringLiteral("RURUDIZ.ini"));
    }
};

TEST_F(ConfigurationTest, NoConfigurationFile_EveryKeyTakesItsDefault)
{
    LireConfiguration();
    const EtatDemarrage &e = etat();
    EXPECT_EQ(e.NomBase, QStringLiteral("DBMovendi"));
    EXPECT_EQ(e.ServeurBase, QStringLiteral("LOCALHOST"));
    EXPECT_DOUBLE_EQ(e.TauxTVA, 0.196);
    EXPECT_TRUE(e.TicketActif);
    EXPECT_EQ(e.PortModem, 3);
    EXPECT_EQ(e.PortTPE, 1);
    EXPECT_TRUE(e.IdentiteMachine.isEmpty());
    EXPECT_TRUE(e.LocalisationMachine.isEmpty());
    EXPECT_EQ(e.IntervalControl, 24);
    EXPECT_FALSE(e.ChargementArriere);
    EXPECT_EQ(e.DebutTelecollecte, QTime(2, 30));
    EXPECT_EQ(e.FinTelecollecte, QTime(2, 45));
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

TEST_F(ConfigurationTest, Windows1252File_EveryKeyRead)
{
    writeFile(
        QStringLiteral("RURUDIZ.ini"),
        Movendi::Platform::toWindows1252(QStringLiteral(
            "[Base de donnée]\r\nNom=Boutique\r\nServeur=srv-bdd\r\nTicket=NON\r\n"
            "[TVA]\r\nTaux=5,5\r\n[PortCom]\r\nPortModem=2\r\nPortTPE=4\r\n"
            "[Machine]\r\nIndentité Machine=K-12\r\nLocation=Gare de Lyon\r\nIntervalControl=6\r\n"
            "ChargementArriere=OUI\r\n[Télécollecte]\r\nDebut=1:05\r\nFin=01:20:30\r\n")));
    LireConfiguration();
    const EtatDemarrage &e = etat();
    EXPECT_EQ(e.NomBase, QStringLiteral("Boutique"));
    EXPECT_EQ(e.ServeurBase, QStringLiteral("srv-bdd"));
    EXPECT_DOUBLE_EQ(e.TauxTVA, 0.055);
    EXPECT_FALSE(e.TicketActif);
    EXPECT_EQ(e.PortModem, 2);
    EXPECT_EQ(e.PortTPE, 4);
    EXPECT_EQ(e.IdentiteMachine, QStringLiteral("K-12"));
    EXPECT_EQ(e.LocalisationMachine, QStringLiteral("Gare de Lyon"));
    EXPECT_EQ(e.IntervalControl, 6);
    EXPECT_TRUE(e.ChargementArriere);
    EXPECT_EQ(e.DebutTelecollecte, QTime(1, 5));
    EXPECT_EQ(e.FinTelecollecte, QTime(1, 20, 30));
}

TEST_F(ConfigurationTest, Booleans_OnlyUpperCaseOuiIsTrue)
{
    writeFile(QStringLiteral("RURUDIZ.ini"),
              "[Base de donnée]\nTicket=oui\n[Machine]\nChargementArriere=oui\n");
    LireConfiguration();
    EXPECT_FALSE(etat().TicketActif);
    EXPECT_FALSE(etat().ChargementArriere);
    writeFile(QStringLiteral("RURUDIZ.ini"),
              "[Base de donnée]\nTicket=OUI\n[Machine]\nChargementArriere=OUI\n");
    LireConfiguration();
    EXPECT_TRUE(etat().TicketActif);
    EXPECT_TRUE(etat().ChargementArriere);
}

TEST_F(ConfigurationTest, ImpossibleTimes_FallBackSilently)
{
    writeFile(QStringLiteral("RURUDIZ.ini"),
              "[Télécollecte]\nDebut=25:99\nFin=après minuit\n[TVA]\nTaux=beaucoup\n");
    LireConfiguration();
    EXPECT_EQ(etat().DebutTelecollecte, QTime(2, 30));
    EXPECT_EQ(etat().FinTelecollecte, QTime(2, 45));
    EXPECT_DOUBLE_EQ(etat().TauxTVA, 0.196);
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

TEST_F(ConfigurationTest, IntegerOutOfRange_BoxAndZeroThenGoesOn)
{
    writeFile(QStringLiteral("RURUDIZ.ini"), "[Machine]\nIntervalControl=40000\nLocation=Hall\n");
    LireConfiguration();
    EXPECT_EQ(etat().IntervalControl, 0);
    EXPECT_EQ(etat().LocalisationMachine, QStringLiteral("Hall"));
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.shown().at(0).title, QStringLiteral("LireIniInteger"));
}

} // namespace
