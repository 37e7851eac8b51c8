#pragma once

#include "machine/grafcetlibrary.h"
#include "machine/machinecontrol.h"
#include "platform/clock.h"
#include "platform/seams.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace Movendi::Test {

struct Appel
{
    QString fonction;
    std::int32_t position = 0;
    std::int32_t resultat = 0;
    qint64 instant = 0; // monotonic time of the installed clock
};

// The simulator library, with each call the kiosk makes noted with its moment.
class MecanismeEnregistre final : public Machine::MachineControl
{
public:
    explicit MecanismeEnregistre(Machine::GrafcetLibrary &lib) : m_lib(lib) {}
    std::int32_t init_grafcet(std::int32_t mode) override { return m_lib.init_grafcet(mode); }
    std::int32_t raz_tpv(std::int32_t mode) override { return m_lib.raz_tpv(mode); }
    std::int32_t CheckDoor() override { return m_lib.CheckDoor(); }
    std::int32_t InitMotor() override { return note("InitMotor", 0, m_lib.InitMotor()); }
    std::int32_t DrumPosition(std::int32_t u, std::int32_t p, std::int32_t s) override
    {
        arguments.append({u, s});
        return note("DrumPosition", p, m_lib.DrumPosition(u, p, s));
    }
    std::int32_t OpenDoor(std::int32_t u, std::int32_t p, std::int32_t s) override
    {
        arguments.append({u, s});
        return note("OpenDoor", p, m_lib.OpenDoor(u, p, s));
    }
    std::int32_t CloseDoor(std::int32_t u, std::int32_t p, std::int32_t s) override
    {
        arguments.append({u, s});
        return note("CloseDoor", p, m_lib.CloseDoor(u, p, s));
    }

    QStringList suite() const
    {
        QStringList s;
        for (const Appel &a : appels)
            s << (a.fonction == QLatin1String("InitMotor")
                      ? a.fonction
                      : QStringLiteral("%1(%2)").arg(a.fonction).arg(a.position));
        return s;
    }
    const Appel *dernier(const char *fonction) const
    {
        for (auto it = appels.crbegin(); it != appels.crend(); ++it) {
            if (it->fonction == QLatin1String(fonction))
                return &*it;
        }
        return nullptr;
    }

    QList<Appel> appels;
    QList<QPair<int, int>> arguments; // machine and mode of the three positioned calls

private:
    std::int32_t note(const char *fonction, std::int32_t position, std::int32_t resultat)
    {
        appels.append(
            {QLatin1String(fonction), position, resultat, Platform::clock().monotonicMs()});
        return resultat;
    }
    Machine::GrafcetLibrary &m_lib;
};

} // namespace Movendi::Test
