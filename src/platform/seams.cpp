#include "platform/seams.h"

#include "platform/clock.h"
#include "platform/clocksetter.h"
#include "platform/ftpupload.h"
#include "platform/mediacommandes.h"
#include "platform/messagebox.h"
#include "platform/portoutput.h"
#include "platform/qtserialline.h"

#include <cstdio>

namespace Movendi::Platform {

namespace {

// Used until a screen-capable box is installed (staff tools, early start-up).
class ConsoleMessageBox final : public MessageBox
{
public:
    void show(const QString &title, const QString &text) override
    {
        QString shown = text;
        shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(shown));
    }
};

struct Installed
{
    SystemClock systemClock;
    ConsoleMessageBox consoleBox;
    QtSerialLineFactory qtSerialLines;
    SystemClockSetter systemClockSetter;
    SimulatedLcdOutput memoryLcd;
    SansLecteurMedia noPlayer;
    CurlFtpUploads curlUploads;
    Clock *clock = &systemClock;
    MessageBox *box = &consoleBox;
    SerialLineFactory *serialLines = &qtSerialLines;
    ClockSetter *clockSetter = &systemClockSetter;
    PortOutput *portOutput = &memoryLcd;
    LecteurMedia *media = &noPlayer;
    FtpUploads *ftpUploads = &curlUploads;
};

Installed &installed()
{
    static Installed seams;
    return seams;
}

} // namespace

Clock &clock()
{
    return *installed().clock;
}

void installClock(Clock *clock)
{
    installed().clock = clock ? clock : &installed().systemClock;
}

MessageBox &messageBox()
{
    return *installed().box;
}

void installMessageBox(MessageBox *box)
{
    installed().box = box ? box : &installed().consoleBox;
}

SerialLineFactory &serialLines()
{
    return *installed().serialLines;
}

void installSerialLines(SerialLineFactory *factory)
{
    installed().serialLines = factory ? factory : &installed().qtSerialLines;
}

PortOutput &portOutput()
{
    return *installed().portOutput;
}

void installPortOutput(PortOutput *output)
{
    installed().portOutput = output ? output : &installed().memoryLcd;
}

LecteurMedia &lecteurMedia()
{
    return *installed().media;
}

void installLecteurMedia(LecteurMedia *lecteur)
{
    installed().media = lecteur ? lecteur : &installed().noPlayer;
}

ClockSetter &clockSetter()
{
    return *installed().clockSetter;
}

void installClockSetter(ClockSetter *setter)
{
    installed().clockSetter = setter ? setter : &installed().systemClockSetter;
}

FtpUploads &ftpUploads()
{
    return *installed().ftpUploads;
}

void installFtpUploads(FtpUploads *uploads)
{
    installed().ftpUploads = uploads ? uploads : &installed().curlUploads;
}

} // namespace Movendi::Platform
