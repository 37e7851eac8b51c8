#include "config/crypte.h"

#include "platform/windows1252.h"

namespace Movendi::Config {

namespace {
const QByteArray cle("kazotrem");
} // namespace

QString DecrypterChaine(const QString &chaine)
{
    using Platform::windows1252Char;
    using Platform::windows1252Code;
    QString resultat;
    resultat.reserve(chaine.size());
    int k = 0;
    for (QChar c : chaine) {
        if (++k > cle.size())
            k = 1;
        int d = (windows1252Code(c) & 0xFF) - cle.at(k - 1);
        if (d < 0)
            d += 255;
        resultat.append(windows1252Char(d));
    }
    return resultat;
}

QString MotDePasseChiffre()
{
    return Platform::fromWindows1252(QByteArray::fromHex("b8d7b1e2bfddcedcded2efd4c2e1d7"));
}

} // namespace Movendi::Config
