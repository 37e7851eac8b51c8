#pragma once

#include "commandes.h"

namespace Movendi::Admin {

// movendi-admin config DIR: every key with its value and default, unknown keys and invalid
// values flagged, devices still to fill in reported as such.
extern const Commande CommandeConfig;
// movendi-admin badge NAME < code: the BadgePersonnel entry of a staff badge.
extern const Commande CommandeBadge;

} // namespace Movendi::Admin
