#pragma once

namespace Movendi::Reporting {

// Sends the new sales to the operator's server. The server synchronisation is not wired into
// this build yet: the call returns at once and the sales wait in the store (each keeps its
// not-sent mark), so nothing is lost when it comes.
void TransferFTP();

} // namespace Movendi::Reporting
