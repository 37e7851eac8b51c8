#pragma once

#include "machine/machinecontrol.h"
#include "machine/provenancebibliotheque.h"

#include <QString>

namespace Movendi::Machine {

// Loads the machine-control shared library and forwards the kiosk's calls to it. The only place
// that opens a library at run time. While no library is loaded every call answers NotLoaded.
class GrafcetLibrary final : public MachineControl
{
public:
    static constexpr std::int32_t NotLoaded = -1;

    GrafcetLibrary() = default;
    ~GrafcetLibrary() override;
    GrafcetLibrary(const GrafcetLibrary &) = delete;
    GrafcetLibrary &operator=(const GrafcetLibrary &) = delete;

    // Opens the library and resolves every function the kiosk calls; on failure nothing stays
    // loaded and errorText() says why. Under DossierRoot a library that anyone but root could
    // have changed is refused, and the file opened is the one that was checked.
    bool load(const QString &path, ControleProvenance controle);
    bool isLoaded() const { return m_handle != nullptr; }
    QString errorText() const { return m_error; }

    std::int32_t init_grafcet(std::int32_t mode) override;
    std::int32_t raz_tpv(std::int32_t mode) override;
    std::int32_t CheckDoor() override;
    std::int32_t InitMotor() override;
    std::int32_t DrumPosition(std::int32_t unit, std::int32_t position,
                              std::int32_t speed) override;
    std::int32_t OpenDoor(std::int32_t unit, std::int32_t position, std::int32_t speed) override;
    std::int32_t CloseDoor(std::int32_t unit, std::int32_t position, std::int32_t speed) override;

private:
    using Fn1 = std::int32_t (*)(std::int32_t);
    using Fn0 = std::int32_t (*)();
    using Fn3 = std::int32_t (*)(std::int32_t, std::int32_t, std::int32_t);

    void unload();

    void *m_handle = nullptr;
    QString m_error;
    Fn1 m_initGrafcet = nullptr;
    Fn1 m_razTpv = nullptr;
    Fn0 m_checkDoor = nullptr;
    Fn0 m_initMotor = nullptr;
    Fn3 m_drumPosition = nullptr;
    Fn3 m_openDoor = nullptr;
    Fn3 m_closeDoor = nullptr;
};

} // namespace Movendi::Machine
