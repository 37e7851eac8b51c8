#include "platform/windows1252.h"

namespace Movendi::Platform {

namespace {

// Code points of bytes 0x80 to 0x9F; the rest of the page equals Latin-1.
constexpr char16_t upperControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QChar windows1252Char(int code)
{
    code &= 0xFF;
    if (code >= 0x80 && code < 0xA0)
        return QChar(upperControls[code - 0x80]);
    return QChar(char16_t(code));
}

int windows1252Code(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i) {
        if (upperControls[i] == u)
            return 0x80 + i;
    }
    return -1;
}

QString fromWindows1252(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char b : bytes)
        text.append(windows1252Char(static_cast<unsigned char>(b)));
    return text;
}

QByteArray toWindows1252(const QString &text, bool *ok)
{
    // One byte per character, written in place: exports convert every line of a month.
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    bool all = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        int code = c.unicode() < 0x80 ? c.unicode() : windows1252Code(c);
        if (code < 0) {
            all = false;
            code = '?';
        }
        out[i] = static_cast<char>(code);
    }
    if (ok)
        *ok = all;
    return bytes;
}

} // namespace Movendi::Platform
