#pragma once

#include "commandes.h"

namespace Movendi::Admin {

// movendi-admin stock DIR: the drum's contents and its free locations by level.
extern const Commande CommandeStock;

} // namespace Movendi::Admin
