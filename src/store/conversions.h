#pragma once

#include <QString>
#include <QVariant>

namespace Movendi::Store {

// The null-safe conversions of database values of module FonctionUtilitaires.

// Empty text for a null value, else the value as text.
QString ConvertNullStr(const QVariant &valeur);

// 0 for a null value or an empty text, else the value as a number (decimal comma or point).
// Text that is not a number is a failure for the caller (ErreurExecution).
double ConvertNullDbl(const QVariant &valeur);

} // namespace Movendi::Store
