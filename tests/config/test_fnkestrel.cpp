#include "config/fnkestrel.h"
#include "kiosktest.h"
#include "screens/navigation.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"

using namespace Movendi::Config;
using namespace Movendi::Screens;
using namespace Movendi::State;

namespace {

class FnKestrelTest : public Movendi::Test::KioskTest
{
protected:
    QString ini() const { return path(QStringLiteral("RURUDIZ.ini")); }
};

TEST_F(FnKestrelTest, LireIniString_TrimsValuesAndDefaultsButKeepsEmpty)
{
    writeFile(QStringLiteral("RURUDIZ.ini"), "[S]\nA=  abc  \nVide=\n");
    EXPECT_EQ(LireIniString(ini(), QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("x")),
              QStringLiteral("abc"));
    EXPECT_EQ(
        LireIniString(ini(), QStringLiteral("S"), QStringLiteral("Debut"), QStringLiteral("02:30")),
        QStringLiteral("02:30"));
    EXPECT_EQ(
        LireIniString(ini(), QStringLiteral("S"), QStringLiteral("Vide"), QStringLiteral("défaut")),
        QString());
    EXPECT_EQ(
        LireIniString(ini(), QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("  d  ")),
        QStringLiteral("d"));
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

TEST_F(FnKestrelTest, LireIniString_ValueWithSpacesAtTheCut_IsTrimmedAfterTheCut)
{
    writeFile(QStringLiteral("RURUDIZ.ini"), "[S]\nA=" + QByteArray(250, 'a') + "    bbbb\n");
    EXPECT_EQ(LireIniString(ini(), QStringLiteral("S"), QStringLiteral("A"), QString()),
              QString(250, QLatin1Char('a')));
}

TEST_F(FnKestrelTest, LireIniInteger_TooLargeFor16Bits_ShowsTheBoxAndGivesZero)
{
    writeFile(QStringLiteral("RURUDIZ.ini"), "[Machine]\nIntervalControl=40000\nPetit=-32768\n");
    EXPECT_EQ(
        LireIniInteger(ini(), QStringLiteral("Machine"), QStringLiteral("IntervalControl"), 24), 0);
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.shown().at(0).title, QStringLiteral("LireIniInteger"));
    EXPECT_EQ(
        m_boxes.shown().at(0).text,
        QStringLiteral("Erreur N°:\r6\rDépassement de capacité\rAppuyez sur (A) pour continuer"));
    EXPECT_EQ(LireIniInteger(ini(), QStringLiteral("Machine"), QStringLiteral("Petit"), 24),
              -32768);
    EXPECT_EQ(LireIniInteger(ini(), QStringLiteral("Machine"), QStringLiteral("Absent"), 24), 24);
    EXPECT_EQ(m_boxes.shown().size(), 1);
}

TEST_F(FnKestrelTest, EcrireIniString_UnwritableFile_ShowsTheBox)
{
    EcrireIniString(path(QStringLiteral("absent/RUNAUTO.INI")), QStringLiteral("Application"),
                    QStringLiteral("Running"), QStringLiteral("OUI"));
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.shown().at(0).title, QStringLiteral("EcrireIniString"));
    const QStringList lines = m_boxes.shown().at(0).text.split(QChar(13));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines.at(0), QStringLiteral("Erreur N°:"));
    EXPECT_EQ(lines.at(1), QStringLiteral("75"));
    EXPECT_TRUE(lines.at(2).contains(QStringLiteral("RUNAUTO.INI")));
    EXPECT_EQ(lines.at(3), QStringLiteral("Appuyez sur (A) pour continuer"));
}

TEST_F(FnKestrelTest, DuringASale_NoBoxTheFailureIsJournalled)
{
    createJournal();
    {
        const GardeVente vente;
        EcrireIniString(path(QStringLiteral("absent/RUNAUTO.INI")), QStringLiteral("Application"),
                        QStringLiteral("Running"), QStringLiteral("OUI"));
    }
    EXPECT_TRUE(m_boxes.shown().isEmpty());
    ASSERT_EQ(journalRows().size(), 1);
    EXPECT_EQ(journalRows().at(0).contexte, QStringLiteral("EcrireIniString"));
    EXPECT_TRUE(journalRows().at(0).erreur.startsWith(QStringLiteral("N°: 75 ")));
}

TEST(TexteErreurTest, FourLines_JoinedByCarriageReturnAlone)
{
    EXPECT_EQ(
        TexteErreur(53, QStringLiteral("Fichier introuvable")),
        QStringLiteral("Erreur N°:\r53\rFichier introuvable\rAppuyez sur (A) pour continuer"));
}

TEST(TrouverFenetreTest, OffX11_FindsNothing)
{
    EXPECT_EQ(TrouverFenetre(QStringLiteral("acceuil")), 0u);
}

} // namespace
