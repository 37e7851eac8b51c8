#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace Movendi::Admin {

inline constexpr int LargeurFilmDemo = 640;
inline constexpr int HauteurFilmDemo = 360;
inline constexpr int ImagesParSecondeFilmDemo = 10;
inline constexpr int SecondesFilmDemo = 6;

// The frames of the demo attract film: up to four of the .jpg pictures of dossierImages, taken
// evenly through their names, slide in and fade out one after another beside the shop's name.
// Without pictures the film shows the name alone.
QList<QImage> imagesFilmDemo(const QString &dossierImages);

// Writes the demo attract film (Motion-JPEG AVI) at chemin, creating its folder; false with the
// reason in *erreur when it cannot.
bool ecrireFilmDemo(const QString &chemin, const QString &dossierImages, QString *erreur);

} // namespace Movendi::Admin
