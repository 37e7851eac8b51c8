// movendi-tpe-sim: the payment terminal's side of the serial protocol on a pseudo-terminal.
#include "eventjournal.h"
#include "options.h"
#include "platform/stopsignalpipe.h"
#include "pseudoterminal.h"
#include "scenario.h"
#include "terminal.h"

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <poll.h>
#include <unistd.h>

using namespace Movendi::TpeSim;

namespace {

using TimePoint = Terminal::Clock::time_point;

// Bytes waiting for their moment on the line (at a baud rate, one byte after the other).
struct Outgoing
{
    TimePoint at;
    QByteArray bytes;
};

std::optional<TimePoint> earliest(const std::optional<TimePoint> &a,
                                  const std::optional<TimePoint> &b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}

int timeoutUntil(const std::optional<TimePoint> &deadline)
{
    if (!deadline)
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - Terminal::Clock::now());
    return int(std::clamp<qint64>(left.count(), 0, 60000));
}

void fail(const QString &text)
{
    fprintf(stderr, "movendi-tpe-sim: %s\n", qPrintable(text));
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    Options options;
    if (const auto error = parseOptions(arguments, options)) {
        fail(*error);
        fprintf(stderr, "%s", qPrintable(usage()));
        return 2;
    }
    if (options.help) {
        printf("%s", qPrintable(usage()));
        return 0;
    }
    Scenario scenario;
    for (const QString &file : options.scenarioFiles) {
        if (const auto error = scenario.applyFile(file)) {
            fail(*error);
            return 2;
        }
    }
    for (const QString &directive : options.directives) {
        if (const auto error = scenario.apply(directive)) {
            fail(*error);
            return 2;
        }
    }

    // Destroyed after the device: a stop signal while its link goes is still caught.
    Movendi::Platform::StopSignalPipe stop;
    PseudoTerminal pty;
    if (!pty.open()) {
        fail(pty.errorText());
        return 1;
    }
    if (!options.link.isEmpty() && !pty.createLink(options.link)) {
        fail(pty.errorText());
        return 1;
    }
    EventJournal journal(options.journal);
    if (!options.journal.isEmpty() && !journal.isOpen()) {
        fail(QStringLiteral("journal impossible a ouvrir: %1").arg(options.journal));
        return 1;
    }
    if (!stop.install()) {
        fail(QStringLiteral("pipe2 impossible"));
        return 1;
    }
    // The kiosk may close the line at any time.
    Movendi::Platform::ignoreHangUps();

    journal.write(QStringLiteral("note demarrage ") + pty.slavePath());
    printf("TPE: %s\n", qPrintable(pty.slavePath()));
    fflush(stdout);

    std::deque<Outgoing> outgoing;
    Terminal terminal(std::move(scenario), journal,
                      [&outgoing](const QByteArray &bytes, TimePoint at) {
                          outgoing.push_back({at, bytes});
                      });
    const auto release = [&] {
        const TimePoint now = Terminal::Clock::now();
        while (!outgoing.empty() && outgoing.front().at <= now) {
            pty.write(outgoing.front().bytes);
            outgoing.pop_front();
        }
    };
    for (;;) {
        release();
        const std::optional<TimePoint> nextByte =
            outgoing.empty() ? std::nullopt : std::optional<TimePoint>(outgoing.front().at);
        pollfd fds[2] = {
            {pty.masterFd(), short(POLLIN | (pty.hasPendingOutput() ? POLLOUT : 0)), 0},
            {stop.fd(), POLLIN, 0}};
        const int ready = poll(fds, 2, timeoutUntil(earliest(terminal.deadline(), nextByte)));
        if (ready < 0 && errno != EINTR) {
            fail(QStringLiteral("poll: erreur %1").arg(errno));
            break;
        }
        if (ready > 0 && (fds[1].revents & POLLIN))
            break;
        if (ready > 0 && (fds[0].revents & POLLOUT))
            pty.flush();
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP))) {
            const QByteArray bytes = pty.readAvailable();
            if (!bytes.isEmpty())
                terminal.receive(bytes, Terminal::Clock::now());
            else if (fds[0].revents & POLLHUP)
                usleep(20000); // we hold the slave, so this should not last; do not spin
        }
        terminal.tick(Terminal::Clock::now());
    }
    journal.write(QStringLiteral("note arret"));
    return 0;
}
