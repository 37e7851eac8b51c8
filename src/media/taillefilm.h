#pragma once

#include <QByteArrayView>
#include <QString>

namespace Movendi::Media {

struct TailleFilm
{
    int largeur = 0;
    int hauteur = 0;
};

enum class GenreFilm { Avi, Mpeg, Autre };

// The kind of a film file from its extension, whatever its case: "avi"; "mpg", "mpeg", "m1v",
// "m2v", "mpe"; anything else.
GenreFilm genreFilm(const QString &chemin);

// The width and height of the main AVI header: the 16-bit little-endian values at offsets 64
// and 68, read as signed 16-bit numbers (a value above 32767 comes out negative). A value whose
// two bytes lie beyond the data is 0.
TailleFilm tailleAvi(QByteArrayView debut);

// The picture size of the first MPEG-1/2 sequence header (00 00 01 B3) in the data; 0 and 0
// when there is none or it is cut short.
TailleFilm tailleMpeg(QByteArrayView debut);

// How many leading bytes of an MPEG file are searched for its sequence header.
inline constexpr qsizetype OctetsRecherchesMpeg = 256 * 1024;

// The picture size of a film file by its kind: AVI and MPEG from their headers (0 when the file
// cannot be read or lacks them), 1 and 1 for any other kind.
TailleFilm tailleFilm(const QString &chemin);

} // namespace Movendi::Media
