#pragma once

namespace Movendi::Startup {

// Gives the payment module the terminal's port and the configuration file from the start-up
// state (read at each use, so later changes of the state count) and the error journal.
void brancherPaiement();

} // namespace Movendi::Startup
