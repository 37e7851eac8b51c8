#pragma once

#include <QString>
#include <cstdint>

namespace Movendi::Config {

// Module FnKestrel: configuration-file access and the error box text.

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

} // namespace Movendi::Config
