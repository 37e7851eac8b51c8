#include "dossierapplication.h"
#include "filmdemo.h"
#include "kiosktest.h"
#include "media/filmmjpeg.h"
#include "media/taillefilm.h"

#include <QFile>
#include <QImage>
#include <QtEndian>

#include <algorithm>

using namespace Movendi;
using Media::TailleFilm;

namespace {

QByteArray lireTout(const QString &chemin)
{
    QFile file(chemin);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Past the end reads as 0: a short file fails the checks instead of reading beyond it.
quint32 u32(const QByteArray &o, qsizetype at)
{
    return at >= 0 && at + 4 <= o.size() ? qFromLittleEndian<quint32>(o.constData() + at) : 0;
}

quint16 u16(const QByteArray &o, qsizetype at)
{
    return at >= 0 && at + 2 <= o.size() ? qFromLittleEndian<quint16>(o.constData() + at) : 0;
}

QByteArray cc(const QByteArray &o, qsizetype at)
{
    return o.mid(at, 4);
}

// What an independent walk through a Motion-JPEG AVI finds.
struct FilmLu
{
    quint32 largeur = 0, hauteur = 0, images = 0, microsecondes = 0, echelle = 0, cadence = 0;
    quint32 longueur = 0, largeurBitmap = 0, hauteurBitmap = 0;
    QList<QByteArray> jpegs; // in the order of the index
};

// Checks the RIFF structure as a player reads it and collects the frames through the index.
void lireAvi(const QByteArray &o, FilmLu *film)
{
    ASSERT_GE(o.size(), 12);
    ASSERT_EQ(cc(o, 0), "RIFF");
    ASSERT_EQ(qint64(u32(o, 4)), o.size() - 8);
    ASSERT_EQ(cc(o, 8), "AVI ");

    qsizetype hdrl = -1, movi = -1, finMovi = -1, idx1 = -1;
    qsizetype at = 12;
    while (at < o.size()) {
        ASSERT_LE(at + 8, o.size());
        ASSERT_EQ(at % 2, 0) << "chunk at an odd offset";
        const quint32 taille = u32(o, at + 4);
        ASSERT_LE(at + 8 + qint64(taille), o.size()) << cc(o, at).toStdString();
        if (cc(o, at) == "LIST" && cc(o, at + 8) == "hdrl")
            hdrl = at + 12;
        else if (cc(o, at) == "LIST" && cc(o, at + 8) == "movi")
            movi = at + 8, finMovi = at + 8 + taille;
        else if (cc(o, at) == "idx1")
            idx1 = at;
        at += 8 + taille + taille % 2;
    }
    ASSERT_EQ(at, o.size()) << "the chunks do not end with the file";
    ASSERT_GE(hdrl, 0);
    ASSERT_GE(movi, 0);
    ASSERT_GE(idx1, 0);

    ASSERT_EQ(cc(o, hdrl), "avih");
    ASSERT_EQ(u32(o, hdrl + 4), 56u);
    const qsizetype avih = hdrl + 8;
    film->microsecondes = u32(o, avih);
    EXPECT_EQ(u32(o, avih + 12) & 0x10, 0x10u) << "AVIF_HASINDEX";
    film->images = u32(o, avih + 16);
    EXPECT_EQ(u32(o, avih + 24), 1u) << "streams";
    film->largeur = u32(o, avih + 32);
    film->hauteur = u32(o, avih + 36);
    const qsizetype strl = avih + 56;
    ASSERT_EQ(cc(o, strl), "LIST");
    ASSERT_EQ(cc(o, strl + 8), "strl");
    ASSERT_EQ(cc(o, strl + 12), "strh");
    const qsizetype strh = strl + 20;
    EXPECT_EQ(cc(o, strh), "vids");
    EXPECT_EQ(cc(o, strh + 4), "MJPG");
    film->echelle = u32(o, strh + 20);
    film->cadence = u32(o, strh + 24);
    film->longueur = u32(o, strh + 32);
    const qsizetype strf = strh + u32(o, strl + 16);
    ASSERT_EQ(cc(o, strf), "strf");
    const qsizetype bitmap = strf + 8;
    EXPECT_EQ(u32(o, bitmap), 40u);
    film->largeurBitmap = u32(o, bitmap + 4);
    film->hauteurBitmap = u32(o, bitmap + 8);
    EXPECT_EQ(u16(o, bitmap + 14), 24);
    EXPECT_EQ(cc(o, bitmap + 16), "MJPG");

    int chunksMovi = 0;
    for (qsizetype c = movi + 4; c < finMovi;) {
        ASSERT_LE(c + 8, finMovi);
        EXPECT_EQ(cc(o, c), "00dc");
        const quint32 taille = u32(o, c + 4);
        c += 8 + taille + taille % 2;
        ASSERT_LE(c, finMovi) << "a frame overruns its list";
        ++chunksMovi;
    }

    const quint32 tailleIndex = u32(o, idx1 + 4);
    ASSERT_EQ(tailleIndex % 16, 0u);
    ASSERT_EQ(tailleIndex / 16, quint32(chunksMovi));
    for (quint32 i = 0; i < tailleIndex / 16; ++i) {
        const qsizetype entree = idx1 + 8 + 16 * i;
        EXPECT_EQ(cc(o, entree), "00dc");
        EXPECT_EQ(u32(o, entree + 4) & 0x10, 0x10u) << "AVIIF_KEYFRAME";
        const qsizetype chunk = movi + u32(o, entree + 8);
        const quint32 longueur = u32(o, entree + 12);
        ASSERT_LE(chunk + 8 + qint64(longueur), finMovi);
        ASSERT_EQ(cc(o, chunk), "00dc") << "index entry " << i;
        ASSERT_EQ(u32(o, chunk + 4), longueur);
        const QByteArray jpeg = o.mid(chunk + 8, longueur);
        EXPECT_TRUE(jpeg.startsWith("\xFF\xD8")) << "frame " << i;
        film->jpegs.append(jpeg);
    }
}

class FilmTest : public Test::KioskTest
{
};

struct CasTaille
{
    const char *nom;
    QByteArray octets;
    int largeur;
    int hauteur;
};

QByteArray enTeteAvi(qsizetype taille, quint16 largeur, quint16 hauteur)
{
    // Filler that would show as 0x5A5A if a value were read one byte off.
    QByteArray o(taille, '\x5A');
    o.replace(0, 4, "RIFF");
    if (taille >= 66)
        qToLittleEndian(largeur, o.data() + 64);
    if (taille >= 70)
        qToLittleEndian(hauteur, o.data() + 68);
    return o;
}

QByteArray avecSequenceMpeg(const QByteArray &avant, int largeur, int hauteur)
{
    QByteArray o = avant;
    o += QByteArray("\x00\x00\x01\xB3", 4);
    o += char(largeur >> 4);
    o += char((largeur & 0x0F) << 4 | hauteur >> 8);
    o += char(hauteur & 0xFF);
    o += QByteArray("\x33\xFF\xFF\xE0\x18", 5); // aspect, rate, bit rate...: not read
    return o;
}

TEST_F(FilmTest, PictureSize_ByKindFromTheHeaders)
{
    // A pack header, a system header and a stray 00 00 01 before the sequence header.
    const QByteArray packs = QByteArray("\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01\x01\x89\xC3\xF8"
                                        "\x00\x00\x01\xBB\x00\x0C\x80\x00\x00\x01\x00\x00\x01",
                                        27);
    const QByteArray loin(Media::OctetsRecherchesMpeg, '\x00');
    const CasTaille cas[] = {
        {"film.avi", enTeteAvi(72, 640, 480), 640, 480},
        {"FILM.AVI", enTeteAvi(4096, 1920, 1080), 1920, 1080},
        {"signe.avi", enTeteAvi(72, 40000, 2), 40000 - 65536, 2},
        {"coupe.avi", enTeteAvi(67, 320, 240), 320, 0},
        {"court.avi", enTeteAvi(40, 320, 240), 0, 0},
        {"vide.avi", QByteArray(), 0, 0},
        {"pal.mpg", avecSequenceMpeg(packs, 720, 576), 720, 576},
        {"bord.m2v", avecSequenceMpeg(QByteArray(1000, '\x01'), 4095, 2160), 4095, 2160},
        {"cif.MPEG", avecSequenceMpeg({}, 352, 288), 352, 288},
        {"premier.mpe", avecSequenceMpeg(avecSequenceMpeg(packs, 176, 144), 720, 576), 176, 144},
        {"coupe.m1v", QByteArray("\x00\x00\x01\xB3\x16\x01", 6), 0, 0},
        {"sans.mpeg", packs, 0, 0},
        {"loin.mpg", avecSequenceMpeg(loin, 720, 576), 0, 0},
        {"film.mov", enTeteAvi(72, 640, 480), 1, 1},
        {"image.jpg", avecSequenceMpeg({}, 720, 576), 1, 1},
    };
    for (const CasTaille &c : cas) {
        const QString nom = QString::fromLatin1(c.nom);
        writeFile(nom, c.octets);
        const TailleFilm t = Media::tailleFilm(path(nom));
        EXPECT_EQ(t.largeur, c.largeur) << c.nom;
        EXPECT_EQ(t.hauteur, c.hauteur) << c.nom;
    }
    const TailleFilm absent = Media::tailleFilm(path(QStringLiteral("absent.avi")));
    EXPECT_EQ(absent.largeur, 0);
    EXPECT_EQ(absent.hauteur, 0);
}

TEST_F(FilmTest, Writer_ThreeFramesReadBackThroughHeaderIndexAndJpeg)
{
    const QColor couleurs[] = {QColor(220, 30, 30), QColor(30, 200, 40), QColor(30, 40, 220)};
    QList<QImage> images;
    for (const QColor &couleur : couleurs) {
        QImage image(320, 240, QImage::Format_RGB32);
        image.fill(couleur);
        images.append(image);
    }
    const QString chemin = path(QStringLiteral("essai.avi"));
    writeFile(QStringLiteral("essai.avi"), "an older film");
    QString erreur;
    ASSERT_TRUE(Media::ecrireFilmMjpeg(chemin, images, 25, &erreur)) << erreur.toStdString();

    const TailleFilm taille = Media::tailleFilm(chemin);
    EXPECT_EQ(taille.largeur, 320);
    EXPECT_EQ(taille.hauteur, 240);

    FilmLu film;
    ASSERT_NO_FATAL_FAILURE(lireAvi(lireTout(chemin), &film));
    EXPECT_EQ(film.images, 3u);
    EXPECT_EQ(film.longueur, 3u);
    EXPECT_EQ(film.microsecondes, 40000u);
    EXPECT_EQ(film.cadence / film.echelle, 25u);
    EXPECT_EQ(film.largeurBitmap, 320u);
    EXPECT_EQ(film.hauteurBitmap, 240u);
    ASSERT_EQ(film.jpegs.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QImage lue = QImage::fromData(film.jpegs.at(i));
        ASSERT_EQ(lue.size(), QSize(320, 240)) << "frame " << i;
        const QColor milieu = lue.pixelColor(160, 120);
        EXPECT_NEAR(milieu.red(), couleurs[i].red(), 12) << "frame " << i;
        EXPECT_NEAR(milieu.green(), couleurs[i].green(), 12) << "frame " << i;
        EXPECT_NEAR(milieu.blue(), couleurs[i].blue(), 12) << "frame " << i;
    }
}

TEST_F(FilmTest, Writer_UnfitFramesRefusedAndTheFilmInPlaceKept)
{
    const QString chemin = path(QStringLiteral("garde.avi"));
    writeFile(QStringLiteral("garde.avi"), "the film in place");
    QImage petite(32, 24, QImage::Format_RGB32);
    petite.fill(Qt::gray);
    QImage autre(24, 32, QImage::Format_RGB32);
    autre.fill(Qt::gray);
    const struct
    {
        const char *cas;
        QList<QImage> images;
        int cadence;
    } refus[] = {
        {"no frame", {}, 10},
        {"sizes differ", {petite, autre}, 10},
        {"null frame", {petite, QImage()}, 10},
        {"zero rate", {petite}, 0},
    };
    for (const auto &r : refus) {
        QString erreur;
        EXPECT_FALSE(Media::ecrireFilmMjpeg(chemin, r.images, r.cadence, &erreur)) << r.cas;
        EXPECT_FALSE(erreur.isEmpty()) << r.cas;
    }
    EXPECT_EQ(readFile(QStringLiteral("garde.avi")), "the film in place");

    QString erreur;
    EXPECT_FALSE(
        Media::ecrireFilmMjpeg(path(QStringLiteral("absent/film.avi")), {petite}, 10, &erreur));
    EXPECT_FALSE(erreur.isEmpty());
}

TEST_F(FilmTest, Init_WritesAShortAttractFilmAndKeepsIt)
{
    layOutApplicationFolder();
    const QString chemin = path(QStringLiteral("video/animation.avi"));
    const QByteArray octets = lireTout(chemin);
    EXPECT_GT(octets.size(), 10000);
    EXPECT_LT(octets.size(), 2 * 1024 * 1024);

    const TailleFilm taille = Media::tailleFilm(chemin);
    EXPECT_EQ(taille.largeur, Admin::LargeurFilmDemo);
    EXPECT_EQ(taille.hauteur, Admin::HauteurFilmDemo);

    FilmLu film;
    ASSERT_NO_FATAL_FAILURE(lireAvi(octets, &film));
    ASSERT_EQ(qsizetype(film.images), film.jpegs.size());
    const double secondes = double(film.images) * film.microsecondes / 1e6;
    EXPECT_GE(secondes, 3.0);
    EXPECT_LE(secondes, 10.0);
    const QImage premiere = QImage::fromData(film.jpegs.first());
    ASSERT_EQ(premiere.size(), QSize(Admin::LargeurFilmDemo, Admin::HauteurFilmDemo));
    // The pictures move: some frame differs from the first in much of the right half.
    int plusDeChangements = 0;
    for (const QByteArray &jpeg : std::as_const(film.jpegs)) {
        const QImage image = QImage::fromData(jpeg);
        ASSERT_EQ(image.size(), premiere.size());
        int changes = 0;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = image.width() / 2; x < image.width(); x += 4)
                changes += qAbs(qGray(premiere.pixel(x, y)) - qGray(image.pixel(x, y))) > 40;
        plusDeChangements = std::max(plusDeChangements, changes);
    }
    EXPECT_GT(plusDeChangements, 1000);

    writeFile(QStringLiteral("video/animation.avi"), "staff's own film");
    const Admin::InitReport report =
        Admin::initialiserDossier(folder(), Movendi::Test::simulatorLibraryPath());
    EXPECT_TRUE(report.ok) << report.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(readFile(QStringLiteral("video/animation.avi")), "staff's own film");
}

} // namespace
