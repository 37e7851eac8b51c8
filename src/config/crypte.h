#pragma once

#include <QString>

namespace Movendi::Config {

// Module Crypte: deciphers the kiosk's stored constants with the fixed key "kazotrem".
// Each character's 8-bit code (Windows-1252) loses the code of its key character; a negative
// result is raised by 255. The result has as many characters as the input.
QString DecrypterChaine(const QString &chaine);

// The enciphered database password: 15 characters of the upper half of the code page, whose
// first 5 deciphered characters are the password.
QString MotDePasseChiffre();

} // namespace Movendi::Config
