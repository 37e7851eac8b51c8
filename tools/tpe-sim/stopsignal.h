#pragma once

namespace Movendi::TpeSim {

// SIGTERM and SIGINT written to a self-pipe, so that a simulator's poll() wakes up to stop
// without a race; SIGPIPE and SIGHUP are ignored (the kiosk may close the line at any time).
bool installStopSignals();
// The read end of the self-pipe: readable once a stop signal came.
int stopSignalFd();

} // namespace Movendi::TpeSim
