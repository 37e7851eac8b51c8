#pragma once

#include <QString>

namespace Movendi::Reporting {

// A workbook export whose copy step failed: one message naming the step ("... failed", the
// source, the reason, CR LF between them) and a journal entry under the routine's context.
// While a sale runs the message is only journalled, so that no box holds the customer.
void signalerEchecExport(const QString &etape, const QString &contexte, const QString &chemin,
                         const QString &erreur);

} // namespace Movendi::Reporting
