#include "clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <thread>

namespace Movendi::Platform {

namespace {
qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

SystemClock::SystemClock() : m_origin(steadyMs()) {}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::monotonicMs() const
{
    return steadyMs() - m_origin;
}

void SystemClock::sleepMs(qint64 ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SystemClock::processEventsFor(qint64 maxMs)
{
    if (!QCoreApplication::instance()) {
        sleepMs(maxMs);
        return;
    }
    // The single-shot timer bounds the wait: WaitForMoreEvents returns on the first event.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(int(qMax<qint64>(0, maxMs)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace Movendi::Platform
