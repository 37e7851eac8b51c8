#pragma once

#include "state/tablemessages.h"

#include <QString>

namespace Movendi::I18n {

// Module ConstMessage: the texts the kiosk composes itself, in the current language.

// Switches the customer language: "FR" or "EN" exactly (anything else does nothing at all).
// Replaces etat().Messages with that language's texts, then translates the customer screens
// (home, product choice, payment; loaded first when needed) from "French.lng" or
// "English.lng" in the application folder. Langue is left as it is; the caller sets it.
// Failures of the screen list pass to the caller.
void ChargerMessages(const QString &langue);

} // namespace Movendi::I18n
