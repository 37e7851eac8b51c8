#include "platform/relayedsession.h"

#include "platform/notificationrelay.h"
#include "platform/servicenotifier.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Movendi::Platform {

namespace {

constexpr int forwardedSignals[] = {SIGTERM, SIGINT, SIGABRT};

// The parent of a process, from /proc; 0 when it cannot be read.
pid_t parentOf(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE *stat = std::fopen(path, "re");
    if (!stat)
        return 0;
    char line[1024];
    const size_t n = std::fread(line, 1, sizeof line - 1, stat);
    std::fclose(stat);
    line[n] = '\0';
    // "pid (name) state ppid ...": the name may hold spaces and parentheses.
    const char *end = std::strrchr(line, ')');
    int parent = 0;
    char state = 0;
    if (!end || std::sscanf(end + 1, " %c %d", &state, &parent) != 2)
        return 0;
    return pid_t(parent);
}

// The abstract socket is open to anyone on the machine: only a process of our own account
// below the session (the kiosk, started by its compositor) may speak for the unit.
bool fromTheSession(const NotificationRelay::Message &message, pid_t session)
{
    if (message.sender <= 0 || message.uid != ::getuid())
        return false;
    pid_t pid = message.sender;
    for (int depth = 0; depth < 32 && pid > 1; ++depth) {
        pid = parentOf(pid);
        if (pid == session)
            return true;
    }
    return false;
}

volatile sig_atomic_t signalWriteEnd = -1;

void onSignal(int number)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t n = ::write(signalWriteEnd, &byte, 1);
    errno = saved;
}

// The signals this process receives, written to a pipe so that the wait for them has no race.
class SignalPipe
{
public:
    SignalPipe()
    {
        if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        signalWriteEnd = m_pipe[1];
        for (int number : forwardedSignals)
            std::signal(number, onSignal);
    }
    ~SignalPipe()
    {
        for (int number : forwardedSignals)
            std::signal(number, SIG_DFL);
        signalWriteEnd = -1;
        for (int fd : m_pipe) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    SignalPipe(const SignalPipe &) = delete;
    SignalPipe &operator=(const SignalPipe &) = delete;

    int fd() const { return m_pipe[0]; }
    // The next signal received, 0 when none waits.
    int take()
    {
        unsigned char byte = 0;
        return m_pipe[0] >= 0 && ::read(m_pipe[0], &byte, 1) == 1 ? byte : 0;
    }

private:
    int m_pipe[2] = {-1, -1};
};

[[noreturn]] void execSession(char *const command[], const NotificationRelay &relay, bool relaying)
{
    // Its compositor must not outlive this process.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (int number : forwardedSignals)
        std::signal(number, SIG_DFL);
    // The watchdog is the kiosk's, and only its messages come here: the X server would say it
    // is ready on a NOTIFY_SOCKET of its own.
    ::unsetenv("WATCHDOG_PID");
    ::unsetenv("NOTIFY_SOCKET");
    if (relaying)
        ::setenv(SessionNotifySocketVariable, relay.name().constData(), 1);
    else
        ::unsetenv(SessionNotifySocketVariable);
    ::execvp(command[0], command);
    std::perror(command[0]);
    ::_exit(127);
}

} // namespace

int runRelayedSession(char *const command[])
{
    QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    own.remove(QLatin1String(SessionNotifySocketVariable));
    ServiceNotifier manager(own);
    NotificationRelay relay;
    const bool relaying = manager.enabled() && relay.open();
    SignalPipe received;
    const pid_t session = ::fork();
    if (session < 0) {
        std::perror("fork");
        return 71;
    }
    if (session == 0)
        execSession(command, relay, relaying);

    // The process below the session that speaks on the relay is the kiosk; others are refused
    // (said once on the unit's log).
    pid_t kiosk = 0;
    bool strangerSaid = false;
    const auto passOn = [&] {
        for (const NotificationRelay::Message &message : relay.take()) {
            if (!fromTheSession(message, session)) {
                if (!strangerSaid)
                    std::fprintf(stderr,
                                 "movendi-session: message of process %d refused: not "
                                 "the kiosk\n",
                                 int(message.sender));
                strangerSaid = true;
                continue;
            }
            kiosk = message.sender;
            manager.send(message.state);
        }
    };
    int status = 0;
    for (;;) {
        pollfd watched[] = {{relay.fd(), POLLIN, 0}, {received.fd(), POLLIN, 0}};
        ::poll(watched, 2, 200);
        passOn();
        while (const int number = received.take())
            ::kill(kiosk > 0 ? kiosk : session, number);
        const pid_t ended = ::waitpid(session, &status, WNOHANG);
        if (ended == session || (ended < 0 && errno != EINTR))
            break;
    }
    // What the kiosk said last (STOPPING=1).
    passOn();
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace Movendi::Platform
