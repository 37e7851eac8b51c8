#pragma once

#include <cstdint>

namespace Movendi::Machine {

/// The mechanism's operations, as the machine-control library exports them. Every call is
/// synchronous, on the UI thread, and answers 0 for success or an error code. The installed
/// instance (see automate.h) lives for the whole program.
class MachineControl
{
public:
    virtual ~MachineControl() = default;

    virtual std::int32_t init_grafcet(std::int32_t mode) = 0;
    virtual std::int32_t raz_tpv(std::int32_t mode) = 0;
    virtual std::int32_t CheckDoor() = 0;
    virtual std::int32_t InitMotor() = 0;
    virtual std::int32_t DrumPosition(std::int32_t unit, std::int32_t position,
                                      std::int32_t speed) = 0;
    virtual std::int32_t OpenDoor(std::int32_t unit, std::int32_t position, std::int32_t speed) = 0;
    virtual std::int32_t CloseDoor(std::int32_t unit, std::int32_t position,
                                   std::int32_t speed) = 0;
};

// The constant arguments the kiosk passes.
inline constexpr std::int32_t InitGrafcetMode = 50;
inline constexpr std::int32_t RazTpvMode = 1;
inline constexpr std::int32_t DrumUnit = 1;
inline constexpr std::int32_t DrumSpeed = 5;

} // namespace Movendi::Machine
