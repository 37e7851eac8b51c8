#pragma once

#include <QObject>

namespace Movendi::Platform {

class Clock;

// A screen timer on the installed clock, so that tests run a 60-second timer in no time.
// Restarting it (stop, then start) counts its interval again from zero.
class KioskTimer : public QObject
{
    Q_OBJECT
public:
    explicit KioskTimer(QObject *parent = nullptr);
    ~KioskTimer() override;

    void setInterval(int ms) { m_interval = ms; }
    int interval() const { return m_interval; }
    void setSingleShot(bool singleShot) { m_singleShot = singleShot; }
    bool isActive() const { return m_pending != 0; }

    void start();
    void stop();
    // Disables then enables it again, which restarts its count.
    void restart()
    {
        stop();
        start();
    }

signals:
    void timeout();

private:
    void handleDue();

    int m_interval = 0;
    bool m_singleShot = false;
    quint64 m_pending = 0;
    Clock *m_clock = nullptr; // the clock that holds m_pending
};

} // namespace Movendi::Platform
