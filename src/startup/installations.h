#pragma once

#include "machine/automate.h"
#include "platform/installation.h"
#include "reporting/envoyeremail.h"
#include "state/ecrans.h"

namespace Movendi::Startup {

// The seams of the layers above the platform, installed for as long as an object lives as the
// platform's are (platform/installation.h).
using InstalledAutomate = Platform::InstallationSeam<Machine::MachineControl, &Machine::automate,
                                                     &Machine::installAutomate>;
using InstalledEcrans =
    Platform::Installation<State::Ecrans *, &State::ecrans, &State::installEcrans>;
using InstalledEmail1 =
    Platform::Installation<Mail::Email *, &Reporting::email1, &Reporting::installEmail1>;

} // namespace Movendi::Startup
