#pragma once

#include <functional>
#include <memory>

namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Flotte {

// How each part of the fleet reaches the store: a connection of its own, opened when it needs
// one (the kiosk's configured store; the staff tool's given file). Throws ErreurExecution when
// the store cannot be opened.
using OuvrirBase = std::function<std::unique_ptr<Store::StoreDatabase>()>;

} // namespace Movendi::Flotte
