#pragma once

#include "commandes.h"

namespace Movendi::Admin {

// movendi-admin synchro DIR [--relancer]: the synchronisation workbooks not yet taken by the
// server, those set aside and why; --relancer puts the set-aside ones back in the queue.
extern const Commande CommandeSynchro;

} // namespace Movendi::Admin
