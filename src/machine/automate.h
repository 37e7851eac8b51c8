#pragma once

namespace Movendi::Machine {

class MachineControl;

// The mechanism the kiosk drives: installed by start-up (or a test) and kept for the program's
// life. Until one is installed every call answers GrafcetLibrary::NotLoaded.
MachineControl &automate();
void installAutomate(MachineControl *machine);

} // namespace Movendi::Machine
