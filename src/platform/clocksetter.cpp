#include "platform/clocksetter.h"

#include "platform/profilefile.h"

#include <utility>

namespace Movendi::Platform {

bool clockSettingAllowed(const QString &iniPath)
{
    // Off unless asked for: a development machine or a test must never have its clock moved.
    const ProfileValue flag =
        readProfileString(iniPath, QStringLiteral("Machine"), QStringLiteral("ReglerHorloge"));
    return flag.status == ProfileStatus::Found && flag.value == QLatin1String("OUI");
}

SystemClockSetter::SystemClockSetter(SetRealtime setRealtime)
    : m_setRealtime(setRealtime ? std::move(setRealtime) : [](const timespec &ts) {
          return clock_settime(CLOCK_REALTIME, &ts);
      })
{
}

bool SystemClockSetter::setDateTime(const QDateTime &local, const QString &iniPath)
{
    if (!local.isValid() || !clockSettingAllowed(iniPath))
        return false;
    const qint64 ms = local.toMSecsSinceEpoch();
    timespec ts{};
    ts.tv_sec = time_t(ms / 1000);
    ts.tv_nsec = long(ms % 1000) * 1000000L;
    if (ts.tv_nsec < 0) {
        ts.tv_sec -= 1;
        ts.tv_nsec += 1000000000L;
    }
    return m_setRealtime(ts) == 0;
}

bool RecordingClockSetter::setDateTime(const QDateTime &local, const QString &iniPath)
{
    m_calls.append({local, iniPath});
    return true;
}

} // namespace Movendi::Platform
