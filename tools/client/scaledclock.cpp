#include "client/scaledclock.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace Movendi::Client {

ScaledClock::ScaledClock(int factor, QDateTime start)
    : m_factor(qMax(1, factor)), m_start(std::move(start))
{
    m_real.start();
}

ScaledClock::~ScaledClock() = default;

void ScaledClock::setFactor(int factor)
{
    m_offsetMs = monotonicMs();
    m_real.restart();
    m_factor = qMax(1, factor);
}

QDateTime ScaledClock::now() const
{
    return m_start.addMSecs(monotonicMs());
}

qint64 ScaledClock::monotonicMs() const
{
    return m_offsetMs + m_real.nsecsElapsed() * m_factor / 1000000;
}

void ScaledClock::sleepMs(qint64 ms)
{
    QThread::usleep(static_cast<unsigned long>(qMax<qint64>(0, ms) * 1000 / m_factor));
}

void ScaledClock::processEventsFor(qint64 maxMs)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, int(qMax<qint64>(0, maxMs) / m_factor));
    if (maxMs > 0)
        QThread::usleep(static_cast<unsigned long>(maxMs * 1000 / m_factor));
}

quint64 ScaledClock::callAfter(qint64 ms, std::function<void()> due)
{
    const quint64 id = m_nextId++;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    QObject::connect(timer.get(), &QTimer::timeout, [this, id, due = std::move(due)] {
        // The call may cancel or add timers: keep this one alive until it returns.
        auto self = std::move(m_timers[id]);
        m_timers.erase(id);
        due();
        self.release()->deleteLater();
    });
    timer->start(int(qMax<qint64>(0, ms) / m_factor));
    m_timers[id] = std::move(timer);
    return id;
}

void ScaledClock::cancel(quint64 id)
{
    m_timers.erase(id);
}

} // namespace Movendi::Client
