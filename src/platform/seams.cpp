#include "seams.h"

#include "clock.h"
#include "messagebox.h"

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
    Clock *clock = &systemClock;
    MessageBox *box = &consoleBox;
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

} // namespace Movendi::Platform
