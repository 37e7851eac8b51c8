#include "platform/clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <limits>
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

SystemClock::~SystemClock() = default;

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

void SystemClock::sleepUs(qint64 us)
{
    if (us > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(us));
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

quint64 SystemClock::callAfter(qint64 ms, std::function<void()> due)
{
    const quint64 id = m_nextId++;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, [this, id, due = std::move(due)] {
        // The callback may start or cancel other timers: take this one out first.
        auto node = m_timers.extract(id);
        due();
        if (!node.empty())
            node.mapped().release()->deleteLater();
    });
    timer->start(int(qBound<qint64>(qint64(0), ms, qint64(std::numeric_limits<int>::max()))));
    m_timers.emplace(id, std::move(timer));
    return id;
}

void SystemClock::cancel(quint64 id)
{
    if (auto it = m_timers.find(id); it != m_timers.end()) {
        it->second->stop();
        it->second.release()->deleteLater();
        m_timers.erase(it);
    }
}

} // namespace Movendi::Platform
