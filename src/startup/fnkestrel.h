#pragma once

#include <QString>
#include <cstdint>

class QWidget;

namespace Movendi::Startup {

// Module FnKestrel: configuration-file access, the error box text and the window helpers.

// The value trimmed of surrounding spaces (at most 254 characters); a missing file, section or
// key gives the default, trimmed; a present empty value gives "". An unreadable file shows the
// box titled "LireIniString" and gives "".
QString LireIniString(const QString &chemin, const QString &section, const QString &cle,
                      const QString &defaut);

// Creates the file, section or key as needed; a file that cannot be written shows the box
// titled "EcrireIniString".
void EcrireIniString(const QString &chemin, const QString &section, const QString &cle,
                     const QString &valeur);

// The integer read of the profile functions converted to 16 bits; a value that does not fit
// shows the box titled "LireIniInteger" and gives 0.
std::int16_t LireIniInteger(const QString &chemin, const QString &section, const QString &cle,
                            std::int16_t defaut);

// The four lines of the error box, joined by a carriage return alone.
QString TexteErreur(int numero, const QString &description);

// Handle of the last top-level window (in the display's order) whose caption, cut at 119
// characters, contains the text without regard to case; 0 when none or not on X11.
quint32 TrouverFenetre(const QString &texte);

// Restarts the home screen's automatic-return count, unless a return home is under way.
void RelancerRetourAutomatique();

// Stops the home screen's automatic-return timer, unless a return home is under way.
void ArreterRetourAutomatique();

// Brings the kiosk back to the home screen (called by the automatic-return timer).
void RetournerAccueil();

// Raises the screen above the other windows, shows it and keeps it on top.
void MettreAuPremierPlan(QWidget *ecran);

// Parks the pointer at the top-right corner of the screen.
void CacherSouris();

} // namespace Movendi::Startup
