#pragma once

#include "journal/erreur.h"

#include <QString>

namespace Movendi::Reporting {

// A workbook export whose copy step failed: one message naming the step ("... failed", the
// source, the reason, CR LF between them), except while a sale runs, so that no box holds the
// customer. Returns the failure for the caller to journal (once) or to throw.
Journal::ErreurExecution signalerEchecExport(const QString &etape, const QString &contexte,
                                             const QString &chemin, const QString &erreur);

} // namespace Movendi::Reporting
