#pragma once

#include <functional>

namespace Movendi::Platform {

// The points of a sale after which something cannot be undone: each durable write of the sale
// journal and each call to a device. Inert on a kiosk. For the crash-point test, the
// environment variable MOVENDI_POINT_ARRET=N makes the program kill itself (SIGKILL, as a power
// cut would stop it) on reaching the N-th point, before what the point announces is done, and
// MOVENDI_POINTS=FILE appends the name of each point reached to FILE.
void pointArret(const char *nom);

// For tests that run the kiosk in their own process: called with each point's name before what
// it announces (to make a fault happen there). Null removes it.
using ObservateurPoints = std::function<void(const char *nom)>;
ObservateurPoints observateurPoints();
void installObservateurPoints(ObservateurPoints observateur);

} // namespace Movendi::Platform
