// Simulated machine-control library: a drum of numbered positions with one door each, for the
// demo and the tests. It keeps the door-state file of the exchange folder as the real mechanism
// side does, logs every call, and takes faults from a control file so that tests can make any
// function fail:
//
//   <exchange folder>/grafcet-sim.ini
//     [Pannes]
//     init_grafcet=3          ; this function answers 3
//     DrumPosition.12=4       ; only for position 12 (checked before the plain key)
//     [Portes]
//     Bloquee=12,14           ; OpenDoor answers 0 but these doors stay shut ("*": all)
//
//   <exchange folder>/grafcet-sim.log   one line per call with its arguments and result

#include "platform/profilefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <optional>

namespace {

using Movendi::Platform::ProfileStatus;
using Movendi::Platform::readProfileString;
using Movendi::Platform::writeProfileString;

// Codes of the simulated mechanism.
constexpr std::int32_t Ok = 0;
constexpr std::int32_t BadPosition = 1;
constexpr std::int32_t DrumElsewhere = 2;
constexpr std::int32_t NotInitialised = 5;

struct Mechanism
{
    bool initialised = false;
    std::int32_t drum = 0;     // position the drum stands at, 0 = unknown
    std::int32_t openDoor = 0; // position of the open door, 0 = all shut
};

Mechanism &mechanism()
{
    static Mechanism m;
    return m;
}

QString exchangeFolder()
{
    const QByteArray configured = qgetenv("MOVENDI_EPI");
    if (!configured.isEmpty())
        return QFile::decodeName(configured);
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void *>(&exchangeFolder), &info) && info.dli_fname)
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath() + QStringLiteral("/epi");
    return QDir::currentPath() + QStringLiteral("/epi");
}

QString controlFile()
{
    return exchangeFolder() + QStringLiteral("/grafcet-sim.ini");
}

std::int32_t log(const char *function, const QString &arguments, std::int32_t result)
{
    QFile file(exchangeFolder() + QStringLiteral("/grafcet-sim.log"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        const QString line = QStringLiteral("%1 %2(%3) = %4\n")
                                 .arg(QDateTime::currentDateTime().toString(
                                          QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                                      QLatin1String(function), arguments)
                                 .arg(result);
        file.write(line.toUtf8());
    }
    return result;
}

// The injected fault code for this call, or nothing.
std::optional<std::int32_t> injectedFault(const char *function,
                                          std::optional<std::int32_t> position)
{
    const QString section = QStringLiteral("Pannes");
    const QString name = QLatin1String(function);
    if (position) {
        const auto specific = readProfileString(
            controlFile(), section, name + QLatin1Char('.') + QString::number(*position));
        if (specific.status == ProfileStatus::Found && !specific.value.isEmpty())
            return specific.value.toInt();
    }
    const auto general = readProfileString(controlFile(), section, name);
    if (general.status == ProfileStatus::Found && !general.value.isEmpty())
        return general.value.toInt();
    return std::nullopt;
}

bool doorBlocked(std::int32_t position)
{
    const auto blocked =
        readProfileString(controlFile(), QStringLiteral("Portes"), QStringLiteral("Bloquee"));
    if (blocked.status != ProfileStatus::Found)
        return false;
    for (const QString &item : blocked.value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString p = item.trimmed();
        if (p == QLatin1String("*") || p == QString::number(position))
            return true;
    }
    return false;
}

QString args3(std::int32_t a, std::int32_t b, std::int32_t c)
{
    return QStringLiteral("%1, %2, %3").arg(a).arg(b).arg(c);
}

} // namespace

extern "C" {

std::int32_t init_grafcet(std::int32_t mode)
{
    if (auto fault = injectedFault("init_grafcet", std::nullopt))
        return log("init_grafcet", QString::number(mode), *fault);
    QDir().mkpath(exchangeFolder());
    mechanism() = Mechanism{};
    mechanism().initialised = true;
    return log("init_grafcet", QString::number(mode), Ok);
}

std::int32_t raz_tpv(std::int32_t mode)
{
    if (auto fault = injectedFault("raz_tpv", std::nullopt))
        return log("raz_tpv", QString::number(mode), *fault);
    return log("raz_tpv", QString::number(mode), mechanism().initialised ? Ok : NotInitialised);
}

std::int32_t CheckDoor()
{
    // Called every 400 ms on the home screen: not logged, it would drown the rest.
    if (auto fault = injectedFault("CheckDoor", std::nullopt))
        return *fault;
    return mechanism().openDoor != 0 ? 1 : 0;
}

std::int32_t InitMotor()
{
    if (auto fault = injectedFault("InitMotor", std::nullopt))
        return log("InitMotor", QString(), *fault);
    return log("InitMotor", QString(), mechanism().initialised ? Ok : NotInitialised);
}

std::int32_t DrumPosition(std::int32_t unit, std::int32_t position, std::int32_t speed)
{
    const QString args = args3(unit, position, speed);
    if (auto fault = injectedFault("DrumPosition", position))
        return log("DrumPosition", args, *fault);
    if (!mechanism().initialised)
        return log("DrumPosition", args, NotInitialised);
    if (position < 1)
        return log("DrumPosition", args, BadPosition);
    mechanism().drum = position;
    return log("DrumPosition", args, Ok);
}

std::int32_t OpenDoor(std::int32_t unit, std::int32_t position, std::int32_t speed)
{
    const QString args = args3(unit, position, speed);
    if (auto fault = injectedFault("OpenDoor", position))
        return log("OpenDoor", args, *fault);
    if (!mechanism().initialised)
        return log("OpenDoor", args, NotInitialised);
    if (position < 1)
        return log("OpenDoor", args, BadPosition);
    if (position != mechanism().drum)
        return log("OpenDoor", args, DrumElsewhere);
    mechanism().openDoor = position;
    if (!doorBlocked(position))
        writeProfileString(exchangeFolder() + QStringLiteral("/porte.ini"), QStringLiteral("Porte"),
                           QStringLiteral("Ouverte"), QStringLiteral("OUI"));
    return log("OpenDoor", args, Ok);
}

std::int32_t CloseDoor(std::int32_t unit, std::int32_t position, std::int32_t speed)
{
    const QString args = args3(unit, position, speed);
    if (auto fault = injectedFault("CloseDoor", position))
        return log("CloseDoor", args, *fault);
    if (!mechanism().initialised)
        return log("CloseDoor", args, NotInitialised);
    mechanism().openDoor = 0;
    return log("CloseDoor", args, Ok);
}

// Declared by the real library; the kiosk calls none of them.
std::int32_t raz_pc()
{
    return log("raz_pc", QString(), Ok);
}

std::int32_t lecPosColonneDEBES()
{
    return mechanism().drum;
}

std::int32_t close_grafcet()
{
    mechanism().initialised = false;
    return log("close_grafcet", QString(), Ok);
}

std::int32_t OpenAllDoors()
{
    return log("OpenAllDoors", QString(), Ok);
}

std::int32_t CloseAllDoors()
{
    mechanism().openDoor = 0;
    return log("CloseAllDoors", QString(), Ok);
}

} // extern "C"
