#pragma once

#include <cstdint>

namespace Movendi::Sale {

class Vente;

// Delivers the basket item by item, reports mechanical faults by mail, reduces the amount to
// what was delivered and has it debited (Vente::DebiterMontant). True when at least one
// PiloterAutomate call returned 0.
bool MiseAJourStock(Vente &vente);

// Whether the customer could reach the item behind the last door, as the mechanism side wrote
// it in the door-state file. A file or folder that is missing or cannot be read proves nothing:
// the item counts as not delivered (journalled). A file without the key counts as an opened door.
bool porteOuverte();

// PiloterAutomate's answer when the door state could not be set to "NON" before the door:
// nothing moved.
inline constexpr std::int32_t EtatPorteNonEcrit = -99999;
// The same when the sale's journal could not say the door was about to open: nothing moved.
inline constexpr std::int32_t JournalNonEcrit = -99998;

// Drum, door, the customer's wait and the door closed again; the code of the last call
// (0 = delivered).
std::int32_t PiloterAutomate(Vente &vente, std::int32_t machine, std::int32_t position,
                             std::int32_t mode, std::int32_t niveau);

} // namespace Movendi::Sale
