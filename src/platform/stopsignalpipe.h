#pragma once

namespace Movendi::Platform {

// SIGTERM and SIGINT written to a self-pipe, so that a loop waiting on poll() or on a socket
// notifier learns of them without a race. One instance per process; its destruction puts the
// default actions back.
class StopSignalPipe
{
public:
    StopSignalPipe() = default;
    ~StopSignalPipe();
    StopSignalPipe(const StopSignalPipe &) = delete;
    StopSignalPipe &operator=(const StopSignalPipe &) = delete;

    // False when the pipe cannot be made; the signals keep their actions then.
    bool install();
    // Readable once a stop signal has come; -1 before install().
    int fd() const { return m_pipe[0]; }
    // Takes one signal's byte out of the pipe; false when none was waiting.
    bool take();

private:
    int m_pipe[2] = {-1, -1};
};

// SIGPIPE and SIGHUP ignored: a peer or a terminal that goes away does not end the process.
void ignoreHangUps();

} // namespace Movendi::Platform
