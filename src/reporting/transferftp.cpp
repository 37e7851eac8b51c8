#include "transferftp.h"

namespace Movendi::Reporting {

void TransferFTP() {}

} // namespace Movendi::Reporting
