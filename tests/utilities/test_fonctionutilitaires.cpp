#include "journal/erreur.h"
#include "kiosktest.h"
#include "platform/installation.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"
#include "store/conversions.h"
#include "utilities/fonctionutilitaires.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRect>
#include <QTimer>

using namespace Movendi::Journal;
using namespace Movendi::State;
using namespace Movendi::Store;
using namespace Movendi::Utilities;

namespace {

class UtilitairesTest : public Movendi::Test::KioskTest
{
};

TEST(AjouterAntislashTest, AppendsOnlyWhenMissing)
{
    EXPECT_EQ(AjouterAntislash(QStringLiteral("/srv/epi")), QStringLiteral("/srv/epi/"));
    EXPECT_EQ(AjouterAntislash(QStringLiteral("/srv/epi/")), QStringLiteral("/srv/epi/"));
    EXPECT_EQ(AjouterAntislash(QString()), QStringLiteral("/"));
}

TEST_F(UtilitairesTest, FichierExiste_IgnoresCaseButNotFoldersOrSubfolderParts)
{
    writeFile(QStringLiteral("image/Photo.JPG"), "x");
    EXPECT_TRUE(FichierExiste(path(QStringLiteral("image")), QStringLiteral("photo.jpg")));
    EXPECT_TRUE(FichierExiste(path(QStringLiteral("image")) + QLatin1Char('/'),
                              QStringLiteral("PHOTO.jpg")));
    EXPECT_FALSE(FichierExiste(folder(), QStringLiteral("image/Photo.JPG")));
    EXPECT_FALSE(FichierExiste(folder(), QStringLiteral("image")));
    EXPECT_FALSE(FichierExiste(folder(), QStringLiteral("absent.txt")));
}

TEST_F(UtilitairesTest, DossierAccessible_LeavesNoTestFileBehind)
{
    EXPECT_TRUE(DossierAccessible(folder()));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("test.tst"))));
    EXPECT_FALSE(DossierAccessible(path(QStringLiteral("absent"))));
    writeFile(QStringLiteral("fichier"), "x");
    EXPECT_FALSE(DossierAccessible(path(QStringLiteral("fichier"))));
    EXPECT_FALSE(DossierAccessible(QString()));
}

TEST_F(UtilitairesTest, DossierApplication_KeepsCaseWithTrailingSlash)
{
    etat().dossierApplication = QStringLiteral(" /srv/Kiosque/Movendi ");
    EXPECT_EQ(DossierApplication(), QStringLiteral("/srv/Kiosque/Movendi/"));
}

TEST(SupprimerEspacesTest, RemovesSpacesOnly)
{
    EXPECT_EQ(SupprimerEspaces(QStringLiteral("/opt/Program Files/Kiosk")),
              QStringLiteral("/opt/ProgramFiles/Kiosk"));
    EXPECT_EQ(SupprimerEspaces(QStringLiteral("a\tb\u00A0c d")), QStringLiteral("a\tb\u00A0cd"));
}

TEST_F(UtilitairesTest, ConvertNull_NullEmptyAndRegionalNumbers)
{
    EXPECT_EQ(ConvertNullStr(QVariant()), QString());
    EXPECT_EQ(ConvertNullStr(QVariant(42)), QStringLiteral("42"));
    EXPECT_EQ(ConvertNullDbl(QVariant()), 0.0);
    EXPECT_EQ(ConvertNullDbl(QVariant(QString())), 0.0);
    EXPECT_DOUBLE_EQ(ConvertNullDbl(QVariant(QStringLiteral("12,5"))), 12.5);
    EXPECT_DOUBLE_EQ(ConvertNullDbl(QVariant(QStringLiteral("12.5"))), 12.5);
    EXPECT_DOUBLE_EQ(ConvertNullDbl(QVariant(7)), 7.0);
    EXPECT_THROW(ConvertNullDbl(QVariant(QStringLiteral("douze"))), ErreurExecution);
}

TEST_F(UtilitairesTest, ConvertNullStr_ValueWithoutText_IsJournalledAndEmpty)
{
    createJournal();
    EXPECT_EQ(ConvertNullStr(QVariant::fromValue(QRect(1, 2, 3, 4))), QString());
    const auto rows = journalRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).contexte, QStringLiteral("ConvertNullStr"));
    EXPECT_TRUE(rows.at(0).erreur.startsWith(QStringLiteral("N°: 13 ")));
}

TEST_F(UtilitairesTest, Attendre_SleepsTheWholeTimeWithoutHandlingEvents)
{
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    Attendre(60);
    EXPECT_EQ(m_clock.monotonicMs(), 60000);
    EXPECT_EQ(m_clock.eventPasses(), 0);
    EXPECT_FALSE(ran);
}

TEST_F(UtilitairesTest, AttendreInterruptible_HandlesEventsUntilTheTimeIsUp)
{
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(0);
    AttendreInterruptible(30);
    EXPECT_GE(m_clock.monotonicMs(), 30000);
    EXPECT_LT(m_clock.monotonicMs(), 30000 + TrancheAttenteMs);
    EXPECT_GT(ticks, 100);
    EXPECT_EQ(m_clock.sleeps(), 0);
}

TEST_F(UtilitairesTest, AttendreInterruptible_ReturnHome_EndsTheWaitAfterThatPass)
{
    QTimer::singleShot(0, [] { etat().RetourAccueilEnCours = true; });
    AttendreInterruptible(60);
    EXPECT_EQ(m_clock.eventPasses(), 1);
    EXPECT_LE(m_clock.monotonicMs(), TrancheAttenteMs);
}

// The real clock: 0.3 s of waiting must be about 0.3 s of wall time, with events served.
TEST(AttenteReelleTest, AttendreInterruptible_RealClock_TakesAboutTheTimeAsked)
{
    const Movendi::Platform::InstalledClock systeme(nullptr);
    bool ran = false;
    QTimer::singleShot(100, [&] { ran = true; });
    QElapsedTimer wall;
    wall.start();
    AttendreInterruptible(0.3);
    EXPECT_GE(wall.elapsed(), 295);
    EXPECT_LT(wall.elapsed(), 800);
    EXPECT_TRUE(ran);
}

} // namespace
