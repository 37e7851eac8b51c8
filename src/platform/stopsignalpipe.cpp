#include "platform/stopsignalpipe.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace Movendi::Platform {

namespace {

volatile sig_atomic_t writeEnd = -1;

void onStopSignal(int)
{
    // The interrupted code may be about to read errno.
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

StopSignalPipe::~StopSignalPipe()
{
    if (m_pipe[0] < 0)
        return;
    // The handler must be gone before the pipe is.
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    writeEnd = -1;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

bool StopSignalPipe::install()
{
    // Non-blocking: a handler never waits on a full pipe, a reader never on an empty one.
    if (pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return false;
    }
    writeEnd = m_pipe[1];
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return true;
}

bool StopSignalPipe::take()
{
    char byte;
    return m_pipe[0] >= 0 && ::read(m_pipe[0], &byte, 1) == 1;
}

void ignoreHangUps()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
}

} // namespace Movendi::Platform
