#pragma once

namespace Movendi::Platform {

// Runs the kiosk's session (the compositor or X server that starts the kiosk) as the service's
// main process: passes the kiosk's notifications on to the service manager as its own (see
// NotificationRelay), hands the stop signals to the kiosk alone (SIGTERM, SIGINT: it ends in
// order and its compositor ends with it; SIGABRT, the watchdog's: it dies where it hung), and
// returns the session's exit status once it has ended. The session is killed if this process
// is.
int runRelayedSession(char *const command[]);

} // namespace Movendi::Platform
