#include "machine/automate.h"

#include "machine/grafcetlibrary.h"

namespace Movendi::Machine {

namespace {
struct Installed
{
    GrafcetLibrary none;
    MachineControl *machine = &none;
};

Installed &installed()
{
    static Installed instance;
    return instance;
}
} // namespace

MachineControl &automate()
{
    return *installed().machine;
}

void installAutomate(MachineControl *machine)
{
    installed().machine = machine ? machine : &installed().none;
}

} // namespace Movendi::Machine
