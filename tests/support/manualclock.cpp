#include "manualclock.h"

#include <QCoreApplication>

#include <algorithm>

namespace Movendi::Test {

ManualClock::ManualClock(QDateTime start) : m_start(std::move(start)) {}

QDateTime ManualClock::now() const
{
    return m_start.addMSecs(m_elapsed);
}

void ManualClock::sleepMs(qint64 ms)
{
    ++m_sleeps;
    m_elapsed += qMax<qint64>(0, ms);
}

void ManualClock::processEventsFor(qint64 maxMs)
{
    ++m_passes;
    QCoreApplication::processEvents();
    fireUntil(m_elapsed + qMax<qint64>(1, maxMs));
}

quint64 ManualClock::callAfter(qint64 ms, std::function<void()> due)
{
    const quint64 id = m_nextId++;
    m_due.push_back({m_elapsed + qMax<qint64>(0, ms), id, std::move(due)});
    return id;
}

void ManualClock::cancel(quint64 id)
{
    std::erase_if(m_due, [id](const Due &d) { return d.id == id; });
}

void ManualClock::advance(qint64 ms)
{
    QCoreApplication::processEvents();
    fireUntil(m_elapsed + ms);
}

void ManualClock::fireUntil(qint64 until)
{
    for (;;) {
        auto next = std::min_element(m_due.begin(), m_due.end(), [](const Due &a, const Due &b) {
            return a.at != b.at ? a.at < b.at : a.id < b.id;
        });
        if (next == m_due.end() || next->at > until)
            break;
        m_elapsed = qMax(m_elapsed, next->at);
        const std::function<void()> call = std::move(next->call);
        m_due.erase(next);
        call();
        QCoreApplication::processEvents();
    }
    m_elapsed = qMax(m_elapsed, until);
}

} // namespace Movendi::Test
