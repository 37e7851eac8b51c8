#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <ctime>
#include <functional>

namespace Movendi::Platform {

// Sets the kiosk's date and time (from the payment terminal's clock after a debit).
class ClockSetter
{
public:
    virtual ~ClockSetter() = default;
    // Returns true when the clock was set. iniPath is the configuration file that says whether
    // the clock may be set at all.
    virtual bool setDateTime(const QDateTime &local, const QString &iniPath) = 0;
};

// The system clock, set only when "Machine", key "ReglerHorloge" is "OUI" in iniPath; otherwise,
// or when the system refuses (no privilege), nothing is changed and false is returned.
class SystemClockSetter final : public ClockSetter
{
public:
    // What sets the clock: clock_settime(CLOCK_REALTIME) unless a stand-in is given (tests).
    using SetRealtime = std::function<int(const timespec &)>;
    explicit SystemClockSetter(SetRealtime setRealtime = {});
    bool setDateTime(const QDateTime &local, const QString &iniPath) override;

private:
    SetRealtime m_setRealtime;
};

struct ClockSetting
{
    QDateTime local;
    QString iniPath;
};

// Keeps every request and sets nothing, for tests.
class RecordingClockSetter final : public ClockSetter
{
public:
    bool setDateTime(const QDateTime &local, const QString &iniPath) override;
    const QList<ClockSetting> &calls() const { return m_calls; }
    void clear() { m_calls.clear(); }

private:
    QList<ClockSetting> m_calls;
};

// True when iniPath allows the clock to be set ("Machine", "ReglerHorloge" exactly "OUI").
bool clockSettingAllowed(const QString &iniPath);

} // namespace Movendi::Platform
