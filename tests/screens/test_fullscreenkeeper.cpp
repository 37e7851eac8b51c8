// Every kiosk screen over the whole display on X11 without a window manager (a kiosk started
// with xinit), each shown by the kiosk's own steps, as the X server sees it; then the display
// changes size (another display plugged in) and every screen covers the new one, the screen on
// view at once.
#include "screenstest.h"
#include "simulatedterminal.h"

#include "front/fnacceuil.h"
#include "media/frmvideo.h"
#include "payment/etatpaiement.h"
#include "platform/seams.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"
#include "screens/navigation.h"
#include "stock/frmremplissage.h"

#include <QGuiApplication>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>

// Rectangles as xrandr writes them in the failures.
void PrintTo(const QRect &r, std::ostream *os)
{
    *os << r.width() << 'x' << r.height() << '+' << r.x() << '+' << r.y();
}

using namespace Movendi;
using Movendi::Test::SimulatedTerminal;

namespace {

xcb_connection_t *connectionX()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// Where the X server shows a window (its place on the root window and its size); empty when
// the window is not on view. Asked on the screens' own connection, after their requests.
QRect geometryX(const QWidget *screen)
{
    xcb_connection_t *c = connectionX();
    const auto window = xcb_window_t(screen->winId());
    xcb_get_window_attributes_reply_t *attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    xcb_get_geometry_reply_t *geometry =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!viewable || !geometry) {
        std::free(geometry);
        return {};
    }
    xcb_translate_coordinates_reply_t *origin = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, geometry->root, 0, 0), nullptr);
    const QRect result =
        origin ? QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height) : QRect();
    std::free(origin);
    std::free(geometry);
    return result;
}

// The display's area as the X server has it now: its root window.
QRect displayX()
{
    xcb_connection_t *c = connectionX();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_get_geometry_reply_t *geometry =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, root), nullptr);
    const QRect result = geometry ? QRect(0, 0, geometry->width, geometry->height) : QRect();
    std::free(geometry);
    return result;
}

// Each kiosk screen where the X server showed it, once it was up (the event pass after its
// show), by class.
class ShownScreens : public QObject
{
public:
    ShownScreens() { qApp->installEventFilter(this); }
    ~ShownScreens() override { qApp->removeEventFilter(this); }

    QHash<QString, QRect> seen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *screen = qobject_cast<QWidget *>(watched);
        if (event->type() == QEvent::Show && screen && screen->isWindow())
            releverApres(screen, 0, 0);
        return false;
    }

private:
    // The X server maps a window a little after Qt shows it, later still on a loaded machine
    // or under the sanitizers: asked again while it has no size yet, for up to two seconds.
    void releverApres(QWidget *screen, int ms, int essais)
    {
        QTimer::singleShot(ms, this, [this, essais, screen = QPointer<QWidget>(screen)] {
            if (!screen || !screen->isVisible())
                return;
            const QRect g = geometryX(screen);
            if (g.isEmpty() && essais < 100) {
                releverApres(screen, 20, essais + 1);
                return;
            }
            seen[QString::fromLatin1(screen->metaObject()->className())] = g;
        });
    }
};

class FullScreenX11Test : public Movendi::Test::ScreensTest
{
protected:
    void SetUp() override
    {
        ScreensTest::SetUp();
        m_lien.reinitialiser();
        // No card comes: the payment screen asks for one, then the sale goes back home.
        m_terminal.apply({QStringLiteral("carte absente")});
    }
    void TearDown() override
    {
        m_lien.reinitialiser();
        ScreensTest::TearDown();
    }

    // The customer's and the staff's way through every screen; each is recorded when shown.
    void showEveryScreen()
    {
        ShownScreens shown;
        // The refill screen (F12), then back home (shown again) as its end does.
        QTest::keyRelease(m_screens.fnAcceuil(), Qt::Key_F12);
        traiterEvenements();
        ASSERT_NE(m_screens.frmRemplissage(), nullptr);
        // On view before it goes: the X server may map it late on a loaded machine.
        [[maybe_unused]] const bool remplissageVu = QTest::qWaitFor(
            [&] { return shown.seen.contains(QStringLiteral("Movendi::Stock::FrmRemplissage")); },
            2000);
        Screens::RetournerAccueil();
        traiterEvenements();
        // The attract film after seven idle seconds; it is modal: left from its own loop.
        QTimer leave;
        QObject::connect(&leave, &QTimer::timeout, [&] {
            Media::FrmVideo *film = m_screens.fnAcceuil()->lecteur();
            if (shown.seen.contains(QStringLiteral("Movendi::Media::FrmVideo")) &&
                film->isVisible()) {
                leave.stop();
                QTest::mouseClick(controle(film, QStringLiteral("CmdAnn")), Qt::LeftButton);
            }
        });
        leave.start(0);
        m_clock.advance(7100);
        leave.stop();
        // A tile, then validate: the payment screen waits for a card that never comes.
        ASSERT_TRUE(m_client.toucherTuile(0));
        cliquer(controle<QPushButton>(m_screens.frmChoix(), QStringLiteral("CmdVal")));
        EXPECT_FALSE(m_screens.frmPayment()->paiementEnCours());
        EXPECT_TRUE(m_screens.fnAcceuil()->isVisible());

        // Checked below, screen by screen.
        [[maybe_unused]] const bool tous =
            QTest::qWaitFor([&] { return shown.seen.size() >= 5; }, 2000);
        for (const char *screen :
             {"Movendi::Stock::FrmRemplissage", "Movendi::Front::FnAcceuil",
              "Movendi::Media::FrmVideo", "Movendi::Sale::FrmChoix", "Movendi::Sale::FrmPayment"})
            EXPECT_EQ(shown.seen.value(QLatin1String(screen)), displayX()) << screen;
        EXPECT_EQ(shown.seen.size(), 5)
            << "other windows shown: " << qPrintable(shown.seen.keys().join(QLatin1Char(' ')));
    }

    // The home screen on view covers the display, as X and Qt see it, within a few seconds.
    void expectHomeCoversTheDisplay() const
    {
        QWidget *home = m_screens.fnAcceuil();
        const QRect display = displayX();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return geometryX(home) == display && home->geometry() == display; }, 5000))
            << "home screen at " << ::testing::PrintToString(geometryX(home)) << " on "
            << ::testing::PrintToString(display);
        EXPECT_TRUE(home->windowState().testFlag(Qt::WindowFullScreen));
    }

    // xrandr on this display: its output switched to a mode of that size, added when missing
    // (the server keeps it: -noreset).
    static void resizeDisplay(const QSize &size)
    {
        const QString listing = xrandr({});
        const QString output = QRegularExpression(QStringLiteral("^(\\S+) connected"),
                                                  QRegularExpression::MultilineOption)
                                   .match(listing)
                                   .captured(1);
        ASSERT_FALSE(output.isEmpty()) << qPrintable(listing);
        const QString mode = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        if (!listing.contains(
                QRegularExpression(QStringLiteral("^\\s+") + mode + QStringLiteral("\\s"),
                                   QRegularExpression::MultilineOption))) {
            const int w = size.width();
            const int h = size.height();
            xrandr({QStringLiteral("--newmode"), mode, QString::number(w * h * 60 / 1000000.0),
                    QString::number(w), QString::number(w + 48), QString::number(w + 160),
                    QString::number(w + 304), QString::number(h), QString::number(h + 3),
                    QString::number(h + 7), QString::number(h + 30)});
            xrandr({QStringLiteral("--addmode"), output, mode});
        }
        xrandr({QStringLiteral("--output"), output, QStringLiteral("--mode"), mode});
        ASSERT_EQ(displayX().size(), size) << qPrintable(xrandr({}));
    }

    static QString xrandr(const QStringList &arguments)
    {
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start(QStringLiteral("xrandr"), arguments);
        if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit ||
            tool.exitCode() != 0) {
            ADD_FAILURE() << "xrandr " << qPrintable(arguments.join(QLatin1Char(' '))) << ": "
                          << qPrintable(tool.errorString()) << tool.readAll().toStdString();
            return {};
        }
        return QString::fromLocal8Bit(tool.readAll());
    }

    SimulatedTerminal m_terminal;
    Movendi::Test::SimulatedTerminalFactory m_lines{m_terminal};
    const Platform::InstalledSerialLines m_linesInstallees{&m_lines};
};

TEST_F(FullScreenX11Test, NoWindowManager_EveryScreenCoversTheDisplayThroughItsResizes)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
        << "a private Xvfb is needed: is xvfb installed?";
    ASSERT_EQ(displayX().size(), QSize(1280, 1024));
    demarrer();
    expectHomeCoversTheDisplay();
    showEveryScreen();
    // A smaller display, then the first one again.
    for (const QSize &size : {QSize(1152, 1000), QSize(1280, 1024)}) {
        resizeDisplay(size);
        expectHomeCoversTheDisplay();
        showEveryScreen();
    }
    expectHomeCoversTheDisplay();
}

} // namespace
