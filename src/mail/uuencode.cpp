#include "mail/uuencode.h"

namespace Movendi::Mail {

QString nomPieceJointe(const QString &chemin)
{
    const qsizetype slash =
        qMax(chemin.lastIndexOf(QLatin1Char('/')), chemin.lastIndexOf(QLatin1Char('\\')));
    return chemin.mid(slash + 1);
}

QByteArray ligneUuencode(const QByteArray &octets)
{
    QByteArray ligne;
    ligne += char(32 + octets.size());
    for (qsizetype i = 0; i < octets.size(); i += 3) {
        const auto octet = [&](qsizetype k) {
            return k < octets.size() ? quint8(octets.at(k)) : quint8(0x20);
        };
        const quint8 a = octet(i), b = octet(i + 1), c = octet(i + 2);
        ligne += char(32 + a / 4);
        ligne += char(32 + (a % 4) * 16 + b / 16);
        ligne += char(32 + (b % 16) * 4 + c / 64);
        ligne += char(32 + c % 64);
    }
    ligne.replace(' ', '`');
    return ligne;
}

QByteArray blocUuencode(const QString &nom, const QByteArray &contenu,
                        const std::function<void(int)> &progression)
{
    const QByteArray fin("\r\n");
    QByteArray bloc = "begin 664 " + nom.toUtf8() + fin;
    const qsizetype lignes = contenu.size() / OctetsParLigneUu + 1;
    for (qsizetype n = 0; n < lignes; ++n) {
        bloc += ligneUuencode(contenu.mid(n * OctetsParLigneUu, OctetsParLigneUu)) + fin;
        if (progression)
            progression(int((n + 1) * 100 / lignes));
    }
    bloc += "`" + fin + "end" + fin;
    return bloc;
}

} // namespace Movendi::Mail
