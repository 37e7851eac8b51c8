#pragma once

#include <QObject>
#include <QPointer>

class QScreen;
class QWidget;
class QWindow;

namespace Movendi::Screens {

// Keeps a kiosk screen over the whole display it is on. The full-screen window state alone is
// not enough: on X11 without a window manager nobody acts on it and the window keeps its own
// size, and a display that is resized, rotated or replaced changes under a window that was
// already full screen. So while the screen is full screen its geometry follows its display's:
// the display's size and its changes, the window moving to another display, and the primary
// display changing (the kiosk then moves to it). Where the compositor places windows itself
// (Wayland), the state is all it needs.
class FullScreenKeeper : public QObject
{
    Q_OBJECT
public:
    // Shows the screen full screen over its display and keeps it so from then on.
    static void showFullScreen(QWidget *screen);
    // The screen's keeper, made on first use; the screen owns it.
    static FullScreenKeeper *of(QWidget *screen);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit FullScreenKeeper(QWidget *screen);
    void watchWindow();
    void watchDisplay(QScreen *display);
    void moveToPrimaryDisplay(QScreen *primary);
    void fit();

    QWidget *m_screen;
    QPointer<QWindow> m_window;
    QPointer<QScreen> m_display;
    QMetaObject::Connection m_windowDisplay;
    QMetaObject::Connection m_displayGeometry;
};

} // namespace Movendi::Screens
