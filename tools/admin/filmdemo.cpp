#include "filmdemo.h"

#include "media/filmmjpeg.h"

#include <QDir>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace Movendi::Admin {

namespace {

constexpr int PhotosMaximum = 4;
constexpr double SecondesTransition = 0.4;
constexpr int QualiteJpeg = 70; // keeps six seconds well under a megabyte

QList<QImage> photos(const QString &dossierImages)
{
    const QStringList noms =
        QDir(dossierImages)
            .entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    QList<QImage> lues;
    for (const QString &nom : noms) {
        QImage image(QDir(dossierImages).filePath(nom));
        if (!image.isNull()) // an unreadable picture is left out
            lues.append(image);
    }
    if (lues.size() <= PhotosMaximum)
        return lues;
    QList<QImage> choisies;
    for (int k = 0; k < PhotosMaximum; ++k)
        choisies.append(lues.at(k * lues.size() / PhotosMaximum));
    return choisies;
}

double adoucir(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

void dessinerFond(QPainter &p, double progression)
{
    QLinearGradient fond(0, 0, LargeurFilmDemo, HauteurFilmDemo);
    fond.setColorAt(0, QColor(16, 35, 63));
    fond.setColorAt(1, QColor(29, 79, 138));
    p.fillRect(QRect(0, 0, LargeurFilmDemo, HauteurFilmDemo), fond);
    // A thin bar that grows through the film.
    p.fillRect(QRectF(0, HauteurFilmDemo - 6, LargeurFilmDemo * progression, 6),
               QColor(240, 160, 40));
}

void dessinerTitre(QPainter &p)
{
    p.setPen(Qt::white);
    QFont police = p.font();
    police.setBold(true);
    police.setPixelSize(64);
    p.setFont(police);
    p.drawText(QRectF(20, 110, 300, 80), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Movendi"));
    police.setBold(false);
    police.setPixelSize(22);
    p.setFont(police);
    p.setPen(QColor(220, 230, 245));
    p.drawText(QRectF(22, 190, 300, 40), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Téléphones et recharges"));
}

// The picture on a white card in the right half, moved by decalage and faded by opacite.
void dessinerPhoto(QPainter &p, const QImage &photo, double decalage, double opacite)
{
    const QRectF zone(340, 30, 270, 290);
    QSizeF taille = photo.size();
    taille.scale(zone.size() - QSizeF(24, 24), Qt::KeepAspectRatio);
    QRectF cadre(QPointF(), taille);
    cadre.moveCenter(zone.center() + QPointF(decalage, 0));
    p.save();
    p.setOpacity(opacite);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(cadre.adjusted(-10, -10, 10, 10), 14, 14);
    p.drawImage(cadre, photo);
    p.restore();
}

} // namespace

QList<QImage> imagesFilmDemo(const QString &dossierImages)
{
    const QList<QImage> choisies = photos(dossierImages);
    const int nombre = SecondesFilmDemo * ImagesParSecondeFilmDemo;
    const double parPhoto = choisies.isEmpty() ? 0 : double(SecondesFilmDemo) / choisies.size();
    QList<QImage> images;
    images.reserve(nombre);
    for (int i = 0; i < nombre; ++i) {
        const double t = double(i) / ImagesParSecondeFilmDemo;
        QImage image(LargeurFilmDemo, HauteurFilmDemo, QImage::Format_RGB32);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        dessinerFond(p, double(i + 1) / nombre);
        if (!choisies.isEmpty()) {
            const int k = std::min<int>(int(t / parPhoto), int(choisies.size()) - 1);
            const double debut = k * parPhoto;
            const double entree = adoucir((t - debut) / SecondesTransition);
            const double sortie = adoucir((debut + parPhoto - t) / SecondesTransition);
            const bool derniere = k == choisies.size() - 1;
            // The last picture stays to the end rather than leave the film on an empty frame.
            const double opacite = derniere ? entree : std::min(entree, sortie);
            const double decalage = (1 - entree) * 200 - (derniere ? 0 : (1 - sortie) * 60);
            dessinerPhoto(p, choisies.at(k), decalage, opacite);
        }
        dessinerTitre(p);
        p.end();
        images.append(image);
    }
    return images;
}

bool ecrireFilmDemo(const QString &chemin, const QString &dossierImages, QString *erreur)
{
    const QString dossier = QFileInfo(chemin).path();
    if (!QDir().mkpath(dossier)) {
        *erreur = QStringLiteral("impossible de créer le dossier %1").arg(dossier);
        return false;
    }
    return Media::ecrireFilmMjpeg(chemin, imagesFilmDemo(dossierImages), ImagesParSecondeFilmDemo,
                                  erreur, QualiteJpeg);
}

} // namespace Movendi::Admin
