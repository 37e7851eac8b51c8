#pragma once

#include "payment/pontagetpvnew.h"

namespace Movendi::Startup {

// What the kiosk's terminal link works with: the terminal's port and the configuration file
// from the start-up state (read at each use, so later changes of the state count), the error
// journal, and the installed line factory, clock and clock setter.
Payment::LiaisonTerminal::Environnement environnementTerminal();

} // namespace Movendi::Startup
