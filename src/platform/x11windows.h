#pragma once

#include <QList>
#include <QString>

namespace Movendi::Platform {

struct TopLevelWindow
{
    quint32 id = 0;
    QString caption;
};

// The top-level windows of the X11 display, in the server's stacking order (bottom first), with
// their captions. Under a reparenting window manager a frame without a caption stands for the
// client window inside it. Empty when there is no X11 display.
QList<TopLevelWindow> x11TopLevelWindows();

// True while the window still exists on the display.
bool x11WindowExists(quint32 id);

// True when the application runs on the X11 platform plugin.
bool runningOnX11();

} // namespace Movendi::Platform
