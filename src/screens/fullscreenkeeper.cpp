#include "screens/fullscreenkeeper.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace Movendi::Screens {

namespace {

// A Wayland compositor sizes and places a full-screen window on its output itself, and a
// client cannot position its windows there.
bool placedByCompositor()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

void FullScreenKeeper::showFullScreen(QWidget *screen)
{
    if (!screen)
        return;
    FullScreenKeeper *keeper = of(screen);
    screen->showFullScreen();
    // Already full screen and shown: no event tells the keeper, the display may have changed.
    keeper->fit();
}

FullScreenKeeper *FullScreenKeeper::of(QWidget *screen)
{
    if (auto *keeper = screen->findChild<FullScreenKeeper *>(QString(), Qt::FindDirectChildrenOnly))
        return keeper;
    return new FullScreenKeeper(screen);
}

FullScreenKeeper::FullScreenKeeper(QWidget *screen) : QObject(screen), m_screen(screen)
{
    screen->installEventFilter(this);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this,
            &FullScreenKeeper::moveToPrimaryDisplay);
}

bool FullScreenKeeper::eventFilter(QObject *watched, QEvent *event)
{
    // Shown: fitted before its window is mapped.
    if (watched == m_screen &&
        (event->type() == QEvent::Show || event->type() == QEvent::WindowStateChange))
        fit();
    return QObject::eventFilter(watched, event);
}

void FullScreenKeeper::watchWindow()
{
    // A change of window flags may give the screen a new native window.
    QWindow *window = m_screen->windowHandle();
    if (window == m_window)
        return;
    disconnect(m_windowDisplay);
    m_window = window;
    if (window)
        m_windowDisplay = connect(window, &QWindow::screenChanged, this, &FullScreenKeeper::fit);
}

void FullScreenKeeper::watchDisplay(QScreen *display)
{
    if (display == m_display)
        return;
    disconnect(m_displayGeometry);
    m_display = display;
    if (display)
        m_displayGeometry =
            connect(display, &QScreen::geometryChanged, this, &FullScreenKeeper::fit);
}

void FullScreenKeeper::moveToPrimaryDisplay(QScreen *primary)
{
    watchWindow();
    if (!primary || !m_window || m_window->screen() == primary || placedByCompositor())
        return;
    m_window->setScreen(primary);
    fit();
}

void FullScreenKeeper::fit()
{
    watchWindow();
    QScreen *display = m_window ? m_window->screen() : nullptr;
    if (!display)
        display = QGuiApplication::primaryScreen();
    watchDisplay(display);
    if (!display || !m_window || !m_screen->isVisible() ||
        !(m_screen->windowState() & Qt::WindowFullScreen) || placedByCompositor())
        return;
    // Never below the screen's minimum size: its layout is not squeezed.
    const QRect area = display->geometry();
    const QRect target(
        area.topLeft(),
        area.size().boundedTo(m_screen->maximumSize()).expandedTo(m_screen->minimumSize()));
    if (m_screen->geometry() == target)
        return;
    // A widget given a geometry leaves its full-screen state: the screen keeps it.
    const Qt::WindowStates state = m_screen->windowState();
    m_screen->setGeometry(target);
    m_screen->setWindowState(state);
}

} // namespace Movendi::Screens
