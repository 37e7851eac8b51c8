#include "config/fnkestrel.h"
#include "front/fnacceuil.h"
#include "media/frmvideo.h"
#include "platform/kiosktimer.h"
#include "platform/mediacommandes.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "pseudoterminal.h"
#include "reporting/envoyeremail.h"
#include "sale/frmchoix.h"
#include "screenstest.h"
#include "smtpserver.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "stock/frmremplissage.h"

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Movendi;
using State::etat;

namespace {

class FnAcceuilTest : public Test::ScreensTest
{
protected:
    Front::FnAcceuil *accueil() const { return m_screens.fnAcceuil(); }
    QString nom(int i) const
    {
        return controle<QLabel>(accueil(), QStringLiteral("Label1"), i)->text();
    }
    QString prix(int i) const
    {
        return controle<QLabel>(accueil(), QStringLiteral("Label3"), i)->text();
    }
    QLabel *image(int i) const { return controle<QLabel>(accueil(), QStringLiteral("Image1"), i); }
    QString running() const
    {
        return Platform::readProfileString(path(QStringLiteral("RUNAUTO.INI")),
                                           QStringLiteral("Application"), QStringLiteral("Running"))
            .value;
    }
    // Keeps only the given articles in the catalogue.
    void garderArticles(const QString &references) const
    {
        sql(QStringLiteral(
                "UPDATE EmplacementsMachine1 SET Reference = NULL WHERE Reference NOT IN (%1)")
                .arg(references));
        sql(QStringLiteral("DELETE FROM ArticleEnStock WHERE Reference NOT IN (%1)")
                .arg(references));
    }
    void imageArticle(int reference, int largeur, int hauteur) const
    {
        QImage img(largeur, hauteur, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        ASSERT_TRUE(img.save(path(QStringLiteral("image/taille%1.jpg").arg(reference))));
        sql(QStringLiteral("UPDATE ArticleEnStock SET Image = ? WHERE Reference = ?"),
            {QStringLiteral("taille%1").arg(reference), reference});
    }
};

TEST_F(FnAcceuilTest, FourArticles_LastTilesKeepTheirContentsAndTile0HandsOverRow1)
{
    garderArticles(QStringLiteral("101, 102, 103, 104"));
    m_screens.charger();
    controle<QLabel>(accueil(), QStringLiteral("Label1"), 4)->setText(QStringLiteral("design"));
    demarrer();
    EXPECT_EQ(accueil()->nombreArticles(), 4);
    EXPECT_EQ(nom(0), QStringLiteral("Samsung Galaxy A15 128 Go"));
    EXPECT_EQ(prix(0), QStringLiteral("199,90 €"));
    EXPECT_EQ(nom(3), QStringLiteral("Nokia 105 (2023)"));
    EXPECT_EQ(nom(4), QStringLiteral("design"));
    EXPECT_TRUE(nom(5).isEmpty());
    EXPECT_EQ(accueil()->cellule(1, 0), QStringLiteral("1,196"));

    cliquer(image(0));
    EXPECT_EQ(etat().ReferenceChoisie, 101);
    EXPECT_EQ(etat().QteChoisie, 5);
    EXPECT_EQ(etat().MontantAPayer, Money::Monnaie::depuisCentimes(19990));
    EXPECT_TRUE(m_screens.frmChoix()->isVisible());
    EXPECT_FALSE(accueil()->isVisible());
    EXPECT_GE(m_clock.monotonicMs(), 300); // the touched tile is marked for 0.3 s
}

TEST_F(FnAcceuilTest, StoreMissingAtStartUp_JournalledAsDescribedThenFoundAgain)
{
    const QString store = path(QStringLiteral("DBMovendi.db"));
    ASSERT_TRUE(QFile::rename(store, store + QStringLiteral(".absent")));
    demarrer();
    EXPECT_EQ(accueil()->nombreArticles(), 0);
    QStringList main;
    for (const Movendi::Test::JournalRow &r : journalRows()) {
        if (r.contexte == QLatin1String("Main"))
            main << r.erreur;
    }
    ASSERT_EQ(main.size(), 2);
    EXPECT_EQ(main.at(0), QStringLiteral("Problème de base de donnée"));
    EXPECT_TRUE(main.at(1).startsWith(QStringLiteral("N°: 3343 ")));

    // The store is back: the next activation of the home screen finds it.
    ASSERT_TRUE(QFile::rename(store + QStringLiteral(".absent"), store));
    accueil()->hide();
    demarrer();
    EXPECT_GT(accueil()->nombreArticles(), 0);
    EXPECT_FALSE(nom(0).isEmpty());
}

TEST_F(FnAcceuilTest, TwentyFiveArticles_FirstSixShownWithoutEmptyTiles)
{
    for (int r = 300; r < 314; ++r)
        sql(QStringLiteral("INSERT INTO ArticleEnStock (Reference, Designation, DesignationEN, "
                           "Prix, Famille, Image) "
                           "VALUES (?, ?, ?, 10000, 2, 'absente')"),
            {r, QStringLiteral("Article %1").arg(r), QStringLiteral("Item %1").arg(r)});
    demarrer();
    EXPECT_EQ(accueil()->nombreArticles(), 20);
    for (int i = 0; i < 6; ++i) {
        EXPECT_FALSE(nom(i).isEmpty()) << i;
        EXPECT_FALSE(prix(i).isEmpty()) << i;
    }
    EXPECT_EQ(nom(5), QStringLiteral("Google Pixel 8a 128 Go"));
}

TEST_F(FnAcceuilTest, PictureSizes_161HighWidthByTheRatioAndMissingPictureEmpty)
{
    imageArticle(101, 300, 600);
    imageArticle(102, 600, 300);
    QFile::remove(path(QStringLiteral("image/redmi-note-13.jpg")));
    demarrer();
    EXPECT_EQ(image(0)->size(), QSize(81, 161)); // 80.5 rounded
    EXPECT_EQ(image(1)->size(), QSize(322, 161));
    EXPECT_TRUE(image(2)->pixmap().isNull());
    EXPECT_EQ(nom(2), QStringLiteral("Xiaomi Redmi Note 13 256 Go"));
    EXPECT_EQ(prix(2), QStringLiteral("249,90 €"));
}

TEST_F(FnAcceuilTest, LanguageButtons_SwitchNamesAndMessages)
{
    demarrer();
    cliquer(controle(accueil(), QStringLiteral("CmdEN")));
    EXPECT_EQ(etat().Langue, QStringLiteral("EN"));
    EXPECT_EQ(nom(0), QStringLiteral("Samsung Galaxy A15 128 GB"));
    EXPECT_EQ(etat().Messages.MsgMerci, QStringLiteral("TANK YOU"));
    cliquer(controle(accueil(), QStringLiteral("CmdFR")));
    EXPECT_EQ(nom(0), QStringLiteral("Samsung Galaxy A15 128 Go"));
}

// The staff key works in either case, but not while the kiosk is returning home.
TEST_F(FnAcceuilTest, KeyF_EndsInOrderUnlessReturningHome)
{
    demarrer();
    Platform::writeProfileString(path(QStringLiteral("RUNAUTO.INI")), QStringLiteral("Application"),
                                 QStringLiteral("Running"), QStringLiteral("OUI"));
    etat().RetourAccueilEnCours = true;
    QTest::keyClick(accueil(), Qt::Key_F);
    EXPECT_EQ(running(), QStringLiteral("OUI"));
    etat().RetourAccueilEnCours = false;
    QTest::keyClick(accueil(), Qt::Key_F, Qt::ShiftModifier);
    EXPECT_EQ(running(), QStringLiteral("NON"));
}

TEST_F(FnAcceuilTest, LowerCaseF_EndsInOrderToo)
{
    demarrer();
    QTest::keyClick(controle(accueil(), QStringLiteral("CmdFR")), Qt::Key_F);
    EXPECT_EQ(running(), QStringLiteral("NON"));
    EXPECT_FALSE(accueil()->isVisible());
}

TEST_F(FnAcceuilTest, F12_OpensTheRefillScreenAndF4ReturnsHome)
{
    demarrer();
    QTest::keyRelease(accueil(), Qt::Key_F12);
    ASSERT_NE(m_screens.frmRemplissage(), nullptr);
    EXPECT_TRUE(m_screens.frmRemplissage()->isVisible());
    EXPECT_FALSE(accueil()->isVisible());
    QTest::keyClick(m_screens.frmRemplissage(), Qt::Key_F4);
    // F4 asks; the screen's next tick carries it out.
    m_clock.advance(600);
    EXPECT_EQ(m_screens.frmRemplissage(), nullptr);
    EXPECT_TRUE(accueil()->isVisible());
}

// A keyboard plugged into the kiosk presses nothing on the sale screens.
TEST_F(FnAcceuilTest, KeysOnTheSaleScreens_PressNoButton)
{
    demarrer();
    cliquer(image(0));
    ASSERT_TRUE(m_screens.frmChoix()->isVisible());
    for (const char *nom : {"CmdVal", "CmdAnn", "Command1"}) {
        auto *bouton = controle<QPushButton>(m_screens.frmChoix(), QString::fromLatin1(nom));
        QSignalSpy clics(bouton, &QPushButton::clicked);
        for (const Qt::Key cle : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Select})
            QTest::keyClick(bouton, cle);
        EXPECT_EQ(clics.count(), 0) << nom;
    }
    EXPECT_TRUE(m_screens.frmChoix()->isVisible());
    EXPECT_EQ(etat().ReferenceChoisie, 101);
}

TEST_F(FnAcceuilTest, PrinterSearch_SkipsTheModemPortAndTakesTheFirstFreeOne)
{
    TpeSim::PseudoTerminal libre;
    ASSERT_TRUE(libre.open()) << libre.errorText().toStdString();
    ASSERT_FALSE(libre.slavePath().isEmpty());
    const QString ini = etat().CheminIni;
    Platform::writeProfileString(ini, QStringLiteral("PortCom"), QStringLiteral("Port3"),
                                 libre.slavePath());
    m_screens.charger();
    etat().PortModem = 2;
    accueil()->RechercherPortImprimante();
    EXPECT_EQ(etat().PortImprimante, 3);

    // Ports 2 to 4 absent or kept for the modem, 5 free.
    Platform::writeProfileString(ini, QStringLiteral("PortCom"), QStringLiteral("Port3"),
                                 path(QStringLiteral("dev/absent")));
    Platform::writeProfileString(ini, QStringLiteral("PortCom"), QStringLiteral("Port5"),
                                 libre.slavePath());
    etat().PortModem = 3;
    accueil()->RechercherPortImprimante();
    EXPECT_EQ(etat().PortImprimante, 5);
}

TEST_F(FnAcceuilTest, AutomaticReturn_SixtySecondsAfterTheLastRestart)
{
    demarrer();
    cliquer(image(0));
    ASSERT_TRUE(m_screens.frmChoix()->isVisible());
    m_clock.advance(30000);
    State::RelancerRetourAutomatique();
    m_clock.advance(59000);
    EXPECT_TRUE(m_screens.frmChoix()->isVisible());
    m_clock.advance(1000);
    EXPECT_FALSE(m_screens.frmChoix()->isVisible());
    EXPECT_TRUE(accueil()->isVisible());
    EXPECT_FALSE(etat().RetourAccueilEnCours);
}

TEST_F(FnAcceuilTest, SevenSecondsIdle_StartTheAttractPlayerUntilALanguageIsTouched)
{
    demarrer();
    // The player is modal: touch its English button from inside its own loop.
    QTimer toucher;
    QObject::connect(&toucher, &QTimer::timeout, [&] {
        if (accueil()->lecteur()->isVisible()) {
            toucher.stop();
            QTest::mouseClick(controle(accueil()->lecteur(), QStringLiteral("Command8")),
                              Qt::LeftButton);
        }
    });
    toucher.start(0);
    m_clock.advance(6900);
    EXPECT_TRUE(accueil()->videoEnCours()); // true from load until the first stop
    m_clock.advance(200);
    EXPECT_FALSE(accueil()->lecteur()->isVisible());
    EXPECT_FALSE(accueil()->videoEnCours());
    EXPECT_EQ(etat().Langue, QStringLiteral("EN"));
}

} // namespace

TEST_F(FnAcceuilTest, FilmLongerThanTheAutomaticReturn_NotCoveredNorStartedTwice)
{
    Platform::EnregistreurMedia film;
    film.dureeMs = 600000;
    const Platform::InstalledLecteurMedia filmInstalle(&film);
    demarrer();
    int videoRelancee = -1;
    bool lecteurVisible = false;
    QString langue;
    // From inside the player's modal loop: seventy seconds of the film.
    QTimer pendant;
    QObject::connect(&pendant, &QTimer::timeout, [&] {
        if (!accueil()->lecteur()->isVisible())
            return;
        pendant.stop();
        QSignalSpy relances(accueil()->timerVideo(), &Platform::KioskTimer::timeout);
        m_clock.advance(70000);
        videoRelancee = int(relances.count()) + (accueil()->timerVideo()->isActive() ? 1 : 0);
        lecteurVisible = accueil()->lecteur()->isVisible();
        langue = etat().Langue;
        accueil()->lecteur()->hide();
    });
    pendant.start(0);
    etat().Langue = QStringLiteral("FR");
    m_clock.advance(7100);
    EXPECT_TRUE(lecteurVisible);
    EXPECT_EQ(videoRelancee, 0) << "the home screen would start the film again over itself";
    EXPECT_EQ(langue, QStringLiteral("FR"));
}

TEST_F(FnAcceuilTest, HiddenTestButton_MailsTheConfiguredRecipients)
{
    Movendi::Test::SmtpServer server;
    ASSERT_TRUE(server.start());
    Platform::writeProfileString(etat().CheminIni, QStringLiteral("Email"), QStringLiteral("Port"),
                                 QString::number(server.port()));
    demarrer();
    const Platform::InstalledClock tempsReel(nullptr); // the mail dialogue runs on socket events
    ASSERT_EQ(Reporting::email1(), accueil()->Email1());
    auto *command1 = controle<QPushButton>(accueil(), QStringLiteral("Command1"));
    ASSERT_NE(command1, nullptr);
    EXPECT_FALSE(command1->isVisible());
    command1->click();
    const QList<Movendi::Test::ReceivedMail> mails = server.mails();
    ASSERT_EQ(mails.size(), 1);
    EXPECT_EQ(mails.at(0).rcptTos,
              QStringList{QStringLiteral("supervision@movendi-exploitation.fr")});
    EXPECT_TRUE(mails.at(0).content.contains("Subject: test\r\n"));
    EXPECT_TRUE(mails.at(0).content.endsWith("\r\n\r\nTest d' Email Da VUDU2\r\n"));
}
