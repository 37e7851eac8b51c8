// Entry point of the tests that need a real X11 display without a window manager, as a kiosk
// started with xinit has: a private Xvfb, started before the Qt application connects to it and
// stopped at the end. Listing the tests needs no display.
#include <QApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The server's display number comes back on the pipe given by -displayfd. -noreset keeps the
// display modes a test adds with xrandr once that client has gone.
pid_t startXvfb(std::string &display)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        // It dies with the tests, and holds none of ctest's pipes if they crash.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int nul = open("/dev/null", O_WRONLY);
        dup2(nul, STDOUT_FILENO);
        dup2(nul, STDERR_FILENO);
        fcntl(fds[1], F_SETFD, 0);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp",
               "+extension", "RANDR", "-screen", "0", "1280x1024x24", nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (pid > 0 && number.find('\n') == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd entry{fds[0], POLLIN, 0};
        if (poll(&entry, 1, 500) <= 0)
            continue;
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, std::size_t(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        return -1;
    }
    display = ':' + number.substr(0, number.find('\n'));
    return pid;
}

} // namespace

int main(int argc, char **argv)
{
    for (const char *name :
         {"NOTIFY_SOCKET", "MOVENDI_NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"})
        qunsetenv(name);
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    std::string display;
    const pid_t server = listing ? -1 : startXvfb(display);
    // Without a server the tests find the offscreen platform and say that Xvfb is missing.
    if (server > 0) {
        qputenv("DISPLAY", display.c_str());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    return result;
}
