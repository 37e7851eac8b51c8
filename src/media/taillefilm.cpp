#include "media/taillefilm.h"

#include <QFile>
#include <QFileInfo>

namespace Movendi::Media {

namespace {

constexpr qsizetype PositionLargeurAvi = 64;
constexpr qsizetype PositionHauteurAvi = 68;

int entier16(QByteArrayView octets, qsizetype position)
{
    if (position < 0 || position + 2 > octets.size())
        return 0;
    const auto bas = static_cast<quint8>(octets[position]);
    const auto haut = static_cast<quint8>(octets[position + 1]);
    return static_cast<qint16>(static_cast<quint16>(bas | haut << 8));
}

QByteArray lireDebut(const QString &chemin, qsizetype taille)
{
    QFile file(chemin);
    if (!QFileInfo(chemin).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.read(taille);
}

} // namespace

GenreFilm genreFilm(const QString &chemin)
{
    const QString extension = QFileInfo(chemin).suffix().toLower();
    if (extension == QLatin1String("avi"))
        return GenreFilm::Avi;
    static const QLatin1String mpeg[] = {QLatin1String("mpg"), QLatin1String("mpeg"),
                                         QLatin1String("m1v"), QLatin1String("m2v"),
                                         QLatin1String("mpe")};
    for (const QLatin1String e : mpeg)
        if (extension == e)
            return GenreFilm::Mpeg;
    return GenreFilm::Autre;
}

TailleFilm tailleAvi(QByteArrayView debut)
{
    return {entier16(debut, PositionLargeurAvi), entier16(debut, PositionHauteurAvi)};
}

TailleFilm tailleMpeg(QByteArrayView debut)
{
    static constexpr char codeSequence[] = {'\x00', '\x00', '\x01', '\xB3'};
    const qsizetype at = debut.indexOf(QByteArrayView(codeSequence, 4));
    // 12 bits of width then 12 bits of height follow the start code.
    if (at < 0 || at + 7 > debut.size())
        return {};
    const auto o1 = static_cast<quint8>(debut[at + 4]);
    const auto o2 = static_cast<quint8>(debut[at + 5]);
    const auto o3 = static_cast<quint8>(debut[at + 6]);
    return {o1 << 4 | o2 >> 4, (o2 & 0x0F) << 8 | o3};
}

TailleFilm tailleFilm(const QString &chemin)
{
    switch (genreFilm(chemin)) {
    case GenreFilm::Avi:
        return tailleAvi(lireDebut(chemin, PositionHauteurAvi + 2));
    case GenreFilm::Mpeg:
        return tailleMpeg(lireDebut(chemin, OctetsRecherchesMpeg));
    case GenreFilm::Autre:
        break;
    }
    return {1, 1};
}

} // namespace Movendi::Media
