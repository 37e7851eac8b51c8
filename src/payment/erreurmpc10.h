#pragma once

#include <QString>

namespace Movendi::Payment {

// The French texts of the terminal's result and diagnostic codes, for the error journal.
// An unknown code gives an empty text.

// Result character of a solvency answer, "0" to "9" and "A" to "F", matched exactly.
QString TexteResultatDemVal(const QString &code);
// Result character of a debit answer, matched exactly.
QString TexteResultatDemEnr(const QString &code);
// Two-digit diagnostic code of a solvency answer, taken by its numeric value (0 to 99).
QString TexteDiagnostic(const QString &code);

} // namespace Movendi::Payment
