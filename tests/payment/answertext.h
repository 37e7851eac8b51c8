#pragma once

#include <QByteArray>

namespace Movendi::Test {

// Writes text at 1-based position pos of a terminal answer, growing the answer with '#' (a
// filler that shows up in a layout when a field is read one character too far).
inline void putAt(QByteArray &answer, int pos, const QByteArray &text)
{
    if (answer.size() < pos - 1 + text.size())
        answer = answer.leftJustified(pos - 1 + text.size(), '#');
    answer.replace(pos - 1, text.size(), text);
}

} // namespace Movendi::Test
