#include "kiosktest.h"

#include "media/frmvideo.h"
#include "platform/kiosktimer.h"
#include "platform/mediacommandes.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <functional>
#include <utility>

using namespace Movendi;

namespace {

// The first bytes of an AVI file whose main header gives the picture size.
QByteArray enteteAvi(int largeur, int hauteur)
{
    QByteArray a(240, '\0');
    a.replace(0, 4, "RIFF");
    a.replace(8, 8, "AVI LIST");
    a.replace(20, 4, "hdrl");
    a.replace(24, 4, "avih");
    const auto mot = [&a](int position, int valeur) {
        a[position - 1] = char(valeur & 0xFF);
        a[position] = char((valeur >> 8) & 0xFF);
    };
    mot(65, largeur);
    mot(69, hauteur);
    return a;
}

class FrmVideoTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        writeFile(QStringLiteral("video/animation.avi"), enteteAvi(640, 360));
        FrmVideo::Actions a;
        a.arreterVideo = [this] {
            m_appels << QStringLiteral("ArreterVideo");
            m_lecteur->hide();
        };
        a.verifierSauvegarde = [this] { m_appels << QStringLiteral("VerifierSauvegarde"); };
        a.relancerTimerVideo = [this] { m_appels << QStringLiteral("timerVideo"); };
        a.terminer = [this] {
            m_appels << QStringLiteral("terminer");
            m_lecteur->hide();
        };
        a.ouvrirRemplissage = [this] { m_appels << QStringLiteral("remplissage"); };
        m_lecteur = std::make_unique<FrmVideo>(std::move(a));
    }
    void TearDown() override
    {
        m_lecteur.reset();
        KioskTest::TearDown();
    }
    void montrer()
    {
        m_media.commandes.clear();
        m_lecteur->show();
    }
    QStringList sansAlias(const QStringList &commandes) const
    {
        QStringList c;
        for (QString s : commandes)
            c << s.replace(m_lecteur->AliasMedia(), QStringLiteral("A"));
        return c;
    }

    using FrmVideo = Media::FrmVideo;
    Platform::EnregistreurMedia m_media;
    const Platform::InstalledLecteurMedia m_mediaInstalle{&m_media};
    std::unique_ptr<FrmVideo> m_lecteur;
    QStringList m_appels;
};

TEST_F(FrmVideoTest, OneShowing_TheCommandsOfTheFilmAndOneAliasPerLoad)
{
    const QString alias = m_lecteur->AliasMedia();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]{1,2}Aform$")).match(alias).hasMatch())
        << alias.toStdString();
    montrer();
    const QString parent =
        QString::number(m_lecteur->findChild<QWidget *>(QStringLiteral("Picture1"))->winId());
    EXPECT_EQ(sansAlias(m_media.commandes),
              (QStringList{QStringLiteral("open MPEGVideo!\"%1\" alias A parent %2 Style "
                                          "1073741824")
                               .arg(path(QStringLiteral("video/animation.avi")), parent),
                           QStringLiteral("put A window at 0 0 640 360"),
                           QStringLiteral("play A from 0"), QStringLiteral("set A audio all on"),
                           QStringLiteral("set A time format milliseconds"),
                           QStringLiteral("status A length")}));
    EXPECT_EQ(m_lecteur->DureeMedia(), 60000);
    EXPECT_TRUE(m_lecteur->MediaOuvert());
    EXPECT_EQ(m_lecteur->DerniereCommande(),
              QStringLiteral("status ") + alias + QStringLiteral(" length"));
    EXPECT_EQ(m_lecteur->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
              QStringLiteral("animation - 00:01:00"));

    // The French button: stopped, closed, French, the home screen told; the same alias next time.
    QTest::mouseClick(m_lecteur->findChild<QPushButton *>(QStringLiteral("CmdAnn")),
                      Qt::LeftButton);
    EXPECT_EQ(State::etat().Langue, QStringLiteral("FR"));
    EXPECT_FALSE(m_lecteur->isVisible());
    EXPECT_EQ(sansAlias(m_media.commandes).mid(6),
              (QStringList{QStringLiteral("stop A"), QStringLiteral("close A")}));
    EXPECT_TRUE(m_media.ouverts.isEmpty());
    montrer();
    EXPECT_EQ(m_media.commandes.size(), 6);
    EXPECT_TRUE(
        m_media.commandes.first().contains(QStringLiteral(" alias ") + alias + QLatin1Char(' ')));
}

struct CasFin
{
    const char *nom;
    bool filmPresent;
    QList<qint64> positions; // one per tick until the stop
};

TEST_F(FrmVideoTest, EndOfFilm_StoppedAtTheFirstTickThatReachesItsLastThreeTenths)
{
    for (const CasFin &c : {CasFin{"a film of 60 000 ms", true, {1000, 59000, 59699, 59700}},
                            CasFin{"a missing film", false, {0}}}) {
        SCOPED_TRACE(c.nom);
        if (!c.filmPresent)
            QFile::remove(path(QStringLiteral("video/animation.avi")));
        State::etat().Langue = QStringLiteral("FR");
        m_appels.clear();
        montrer();
        for (int i = 0; i < c.positions.size(); ++i) {
            EXPECT_TRUE(m_lecteur->MediaOuvert()) << i;
            m_media.positionMs = c.positions.at(i);
            m_clock.advance(250);
        }
        EXPECT_FALSE(m_lecteur->MediaOuvert());
        EXPECT_EQ(State::etat().Langue, QStringLiteral("EN"));
        EXPECT_EQ(m_appels.count(QStringLiteral("VerifierSauvegarde")), c.positions.size());
        EXPECT_EQ(m_appels.mid(m_appels.size() - 2),
                  (QStringList{QStringLiteral("ArreterVideo"), QStringLiteral("timerVideo")}));
        EXPECT_EQ(sansAlias(m_media.commandes).mid(m_media.commandes.size() - 2),
                  (QStringList{QStringLiteral("stop A"), QStringLiteral("close A")}));
    }
}

TEST_F(FrmVideoTest, PathWithBlanksOpenedWholeAndPictureShownNotPlayed)
{
    writeFile(QStringLiteral("mes films/le film.avi"), enteteAvi(1, 1));
    m_media.largeur = 352;
    m_media.hauteur = 288;
    m_lecteur->OpenMe(path(QStringLiteral("mes films/le film.avi")));
    // The header gives no size: the player is asked where the picture goes.
    EXPECT_EQ(
        sansAlias(m_media.commandes).mid(0, 3),
        (QStringList{QStringLiteral("open MPEGVideo!\"%1\" alias A parent %2 Style 1073741824")
                         .arg(path(QStringLiteral("mes films/le film.avi")))
                         .arg(m_lecteur->findChild<QWidget *>(QStringLiteral("Picture1"))->winId()),
                     QStringLiteral("where A destination"),
                     QStringLiteral("put A window at 0 0 352 288")}));
    EXPECT_EQ(m_media.ouverts, QStringList{m_lecteur->AliasMedia()});
    m_lecteur->arreter();

    m_media.commandes.clear();
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(path(QStringLiteral("affiche.JPG"))));
    m_lecteur->OpenMe(path(QStringLiteral("affiche.JPG")));
    EXPECT_TRUE(m_media.commandes.isEmpty());
    EXPECT_FALSE(m_lecteur->findChild<QLabel *>(QStringLiteral("AffBMP"))->pixmap().isNull());
    EXPECT_FALSE(m_lecteur->MediaOuvert());
}

TEST_F(FrmVideoTest, Keys_FEndsTheProgramAndF12OpensTheRefillScreen)
{
    montrer();
    QTest::keyClick(m_lecteur->findChild<QPushButton *>(QStringLiteral("Command8")), Qt::Key_F);
    EXPECT_EQ(m_appels, QStringList{QStringLiteral("terminer")});
    montrer();
    m_appels.clear();
    QTest::keyRelease(m_lecteur.get(), Qt::Key_F12);
    EXPECT_EQ(m_appels, QStringList{QStringLiteral("remplissage")});
    EXPECT_FALSE(m_lecteur->isVisible());
    EXPECT_FALSE(m_lecteur->MediaOuvert());
    EXPECT_EQ(sansAlias(m_media.commandes).mid(m_media.commandes.size() - 2),
              (QStringList{QStringLiteral("stop A"), QStringLiteral("close A")}));
}

// The player's loading handles events: what comes meanwhile must leave one defined state.
TEST_F(FrmVideoTest, TouchOrKeyWhileTheFilmOpens_OneDefinedState)
{
    // A player that runs the event of the case while it opens the film.
    struct MediaLent final : Platform::LecteurMedia
    {
        Platform::EnregistreurMedia &reel;
        std::function<void()> pendant;
        explicit MediaLent(Platform::EnregistreurMedia &r) : reel(r) {}
        quint32 ouvrir(const QString &alias, const QString &chemin, quint64 fenetre) override
        {
            if (pendant)
                std::exchange(pendant, {})();
            return reel.ouvrir(alias, chemin, fenetre);
        }
        quint32 placer(const QString &a, const QRect &z) override { return reel.placer(a, z); }
        quint32 jouer(const QString &a, qint64 d) override { return reel.jouer(a, d); }
        quint32 son(const QString &a, bool s) override { return reel.son(a, s); }
        quint32 tempsEnMillisecondes(const QString &a) override
        {
            return reel.tempsEnMillisecondes(a);
        }
        quint32 duree(const QString &a, qint64 *ms) override { return reel.duree(a, ms); }
        quint32 position(const QString &a, qint64 *ms) override { return reel.position(a, ms); }
        quint32 taille(const QString &a, QSize *t) override { return reel.taille(a, t); }
        quint32 arreter(const QString &a) override { return reel.arreter(a); }
        quint32 fermer(const QString &a) override { return reel.fermer(a); }
    };
    struct Cas
    {
        const char *nom;
        std::function<void(FrmVideo &)> pendant;
        QStringList appels;
        bool visible;
        bool filmOuvert;
    };
    const QList<Cas> cas{
        {"un toucher sur Français",
         [](FrmVideo &v) {
             QTest::mouseClick(v.findChild<QPushButton *>(QStringLiteral("CmdAnn")),
                               Qt::LeftButton);
         },
         {},
         true,
         true},
        {"F12",
         [](FrmVideo &v) { QTest::keyRelease(&v, Qt::Key_F12); },
         {QStringLiteral("remplissage")},
         false,
         false},
        {"F",
         [](FrmVideo &v) { QTest::keyClick(&v, Qt::Key_F); },
         {QStringLiteral("terminer")},
         false,
         false},
        {"le lecteur caché", [](FrmVideo &v) { v.hide(); }, {}, false, false},
    };
    MediaLent lent(m_media);
    const Platform::InstalledLecteurMedia lentInstalle(&lent);
    for (const Cas &c : cas) {
        SCOPED_TRACE(c.nom);
        m_appels.clear();
        State::etat().Langue = QStringLiteral("EN");
        lent.pendant = [&] { c.pendant(*m_lecteur); };
        montrer();
        EXPECT_EQ(m_appels, c.appels);
        EXPECT_EQ(State::etat().Langue, QStringLiteral("EN")) << "no language switch";
        EXPECT_EQ(m_lecteur->isVisible(), c.visible);
        EXPECT_EQ(m_lecteur->MediaOuvert(), c.filmOuvert);
        EXPECT_EQ(m_media.ouverts.isEmpty(), !c.filmOuvert) << "no film behind another screen";
        m_lecteur->hide();
    }
}

} // namespace
