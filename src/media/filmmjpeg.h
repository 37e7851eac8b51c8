#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace Movendi::Media {

// Largest frame side written: the AVI frame rectangle holds signed 16-bit values.
inline constexpr int CoteMaximumFilm = 32767;

// Writes a Motion-JPEG AVI film at chemin: one video stream of the given frames (all of one
// size, each a key frame encoded as JPEG at the given quality), shown at imagesParSeconde, with
// its index. The film is written beside the target and renamed into place, so an existing file
// is replaced whole or not at all. False with the reason in *erreur when the frames are unfit or
// the file cannot be written.
bool ecrireFilmMjpeg(const QString &chemin, const QList<QImage> &images, int imagesParSeconde,
                     QString *erreur, int qualite = 80);

} // namespace Movendi::Media
