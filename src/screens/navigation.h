#pragma once

#include <QString>

class QWidget;

namespace Movendi::Screens {

// The window helpers of module FnKestrel: finding, raising and leaving screens.

// Handle of the last top-level window (in the display's order) whose caption, cut at 119
// characters, contains the text without regard to case; 0 when none or not on X11.
quint32 TrouverFenetre(const QString &texte);

// Brings the kiosk back to the home screen (called by the automatic-return timer).
void RetournerAccueil();

// Raises the screen above the other windows, shows it and keeps it on top.
void MettreAuPremierPlan(QWidget *ecran);

// Parks the pointer at the top-right corner of the screen.
void CacherSouris();

} // namespace Movendi::Screens
