#pragma once

#include <QByteArray>
#include <QString>

namespace Movendi::Platform {

// The Western Windows code page: the 8-bit encoding of the kiosk's profile files and of the
// enciphered constants. Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no character; they map to the
// code points of the same value so that every byte survives a round trip.
QString fromWindows1252(const QByteArray &bytes);

// Returns false in *ok (when given) if a character has no Windows-1252 byte; it is written as '?'.
QByteArray toWindows1252(const QString &text, bool *ok = nullptr);

// The 8-bit code of one character, or -1 when it has none.
int windows1252Code(QChar c);
QChar windows1252Char(int code);

} // namespace Movendi::Platform
