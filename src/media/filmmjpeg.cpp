#include "media/filmmjpeg.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <limits>

namespace Movendi::Media {

namespace {

constexpr quint32 AvifHasIndex = 0x10;
constexpr quint32 AviifKeyframe = 0x10;
constexpr qint64 TailleEnTeteAvih = 56;
constexpr qint64 TailleEnTeteStrh = 56;
constexpr qint64 TailleBitmapInfo = 40;

// Little-endian writer into one buffer; list and chunk sizes are patched once known.
class Tampon
{
public:
    void quatreCc(const char (&code)[5]) { m_octets.append(code, 4); }
    void u32(quint32 valeur)
    {
        char octets[4];
        qToLittleEndian(valeur, octets);
        m_octets.append(octets, 4);
    }
    void u16(quint16 valeur)
    {
        char octets[2];
        qToLittleEndian(valeur, octets);
        m_octets.append(octets, 2);
    }
    void octets(const QByteArray &donnees) { m_octets.append(donnees); }
    void remplissage() // chunks start at even offsets
    {
        if (m_octets.size() % 2)
            m_octets.append('\0');
    }
    // Opens a chunk or list: returns the position of its size field.
    qsizetype ouvrir(const char (&code)[5])
    {
        quatreCc(code);
        const qsizetype position = m_octets.size();
        u32(0);
        return position;
    }
    void fermer(qsizetype positionTaille)
    {
        const auto taille = static_cast<quint32>(m_octets.size() - positionTaille - 4);
        qToLittleEndian(taille, m_octets.data() + positionTaille);
    }
    qsizetype taille() const { return m_octets.size(); }
    const QByteArray &donnees() const { return m_octets; }
    void reserver(qsizetype taille) { m_octets.reserve(taille); }

private:
    QByteArray m_octets;
};

QString verifierImages(const QList<QImage> &images, int imagesParSeconde, int qualite)
{
    if (images.isEmpty())
        return QStringLiteral("aucune image");
    if (imagesParSeconde < 1 || imagesParSeconde > 1000)
        return QStringLiteral("cadence invalide: %1 images par seconde").arg(imagesParSeconde);
    if (qualite < 0 || qualite > 100)
        return QStringLiteral("qualité invalide: %1").arg(qualite);
    const QSize taille = images.first().size();
    if (taille.width() < 1 || taille.height() < 1 || taille.width() > CoteMaximumFilm ||
        taille.height() > CoteMaximumFilm)
        return QStringLiteral("taille d'image invalide: %1x%2")
            .arg(taille.width())
            .arg(taille.height());
    for (qsizetype i = 0; i < images.size(); ++i) {
        if (images.at(i).isNull() || images.at(i).size() != taille)
            return QStringLiteral("l'image %1 n'a pas la taille %2x%3")
                .arg(i + 1)
                .arg(taille.width())
                .arg(taille.height());
    }
    return {};
}

} // namespace

bool ecrireFilmMjpeg(const QString &chemin, const QList<QImage> &images, int imagesParSeconde,
                     QString *erreur, int qualite)
{
    auto echec = [&](const QString &raison) {
        if (erreur)
            *erreur = raison;
        return false;
    };
    if (const QString raison = verifierImages(images, imagesParSeconde, qualite); !raison.isEmpty())
        return echec(raison);

    QList<QByteArray> jpegs;
    jpegs.reserve(images.size());
    qint64 plusGrande = 0;
    qint64 totalDonnees = 0;
    for (qsizetype i = 0; i < images.size(); ++i) {
        QByteArray jpeg;
        QBuffer tampon(&jpeg);
        tampon.open(QIODevice::WriteOnly);
        if (!images.at(i).save(&tampon, "JPG", qualite) || jpeg.isEmpty())
            return echec(QStringLiteral("image %1 non encodée en JPEG").arg(i + 1));
        plusGrande = std::max<qint64>(plusGrande, jpeg.size());
        totalDonnees += 8 + jpeg.size() + jpeg.size() % 2;
        jpegs.append(std::move(jpeg));
    }
    const qint64 nombre = jpegs.size();
    // Everything but the frames is a few hundred bytes; sizes stay below 2 GiB, where every
    // reader of the 32-bit size fields agrees.
    const qint64 totalEstime = 512 + totalDonnees + 16 * nombre;
    if (totalEstime > std::numeric_limits<qint32>::max())
        return echec(QStringLiteral("film trop grand: %1 octets").arg(totalEstime));

    const int largeur = images.first().width();
    const int hauteur = images.first().height();
    const auto microsecondes =
        static_cast<quint32>((1000000 + imagesParSeconde / 2) / imagesParSeconde);
    const auto tampon = static_cast<quint32>(plusGrande + plusGrande % 2 + 8);

    Tampon avi;
    avi.reserver(totalEstime);
    const qsizetype riff = avi.ouvrir("RIFF");
    avi.quatreCc("AVI ");

    const qsizetype hdrl = avi.ouvrir("LIST");
    avi.quatreCc("hdrl");
    avi.quatreCc("avih");
    avi.u32(TailleEnTeteAvih);
    avi.u32(microsecondes);
    avi.u32(static_cast<quint32>(
        std::min<qint64>(plusGrande * imagesParSeconde, std::numeric_limits<quint32>::max())));
    avi.u32(0); // dwPaddingGranularity
    avi.u32(AvifHasIndex);
    avi.u32(static_cast<quint32>(nombre)); // dwTotalFrames
    avi.u32(0);                            // dwInitialFrames
    avi.u32(1);                            // dwStreams
    avi.u32(tampon);                       // dwSuggestedBufferSize
    avi.u32(static_cast<quint32>(largeur));
    avi.u32(static_cast<quint32>(hauteur));
    for (int i = 0; i < 4; ++i)
        avi.u32(0); // dwReserved

    const qsizetype strl = avi.ouvrir("LIST");
    avi.quatreCc("strl");
    avi.quatreCc("strh");
    avi.u32(TailleEnTeteStrh);
    avi.quatreCc("vids");
    avi.quatreCc("MJPG");
    avi.u32(0);                                      // dwFlags
    avi.u16(0);                                      // wPriority
    avi.u16(0);                                      // wLanguage
    avi.u32(0);                                      // dwInitialFrames
    avi.u32(1);                                      // dwScale
    avi.u32(static_cast<quint32>(imagesParSeconde)); // dwRate
    avi.u32(0);                                      // dwStart
    avi.u32(static_cast<quint32>(nombre));           // dwLength
    avi.u32(tampon);
    avi.u32(0xFFFFFFFFu); // dwQuality: default
    avi.u32(0);           // dwSampleSize: frames vary in size
    avi.u16(0);
    avi.u16(0);
    avi.u16(static_cast<quint16>(largeur));
    avi.u16(static_cast<quint16>(hauteur));
    avi.quatreCc("strf");
    avi.u32(TailleBitmapInfo);
    avi.u32(TailleBitmapInfo); // biSize
    avi.u32(static_cast<quint32>(largeur));
    avi.u32(static_cast<quint32>(hauteur));
    avi.u16(1);  // biPlanes
    avi.u16(24); // biBitCount
    avi.quatreCc("MJPG");
    avi.u32(static_cast<quint32>(qint64(largeur) * hauteur * 3)); // biSizeImage
    for (int i = 0; i < 4; ++i)
        avi.u32(0); // resolution and palette
    avi.fermer(strl);
    avi.fermer(hdrl);

    const qsizetype movi = avi.ouvrir("LIST");
    const qsizetype debutMovi = avi.taille();
    avi.quatreCc("movi");
    QList<quint32> positions;
    positions.reserve(nombre);
    for (const QByteArray &jpeg : std::as_const(jpegs)) {
        positions.append(static_cast<quint32>(avi.taille() - debutMovi));
        const qsizetype chunk = avi.ouvrir("00dc");
        avi.octets(jpeg);
        avi.fermer(chunk); // the size excludes the pad byte
        avi.remplissage();
    }
    avi.fermer(movi);

    avi.quatreCc("idx1");
    avi.u32(static_cast<quint32>(16 * nombre));
    for (qsizetype i = 0; i < nombre; ++i) {
        avi.quatreCc("00dc");
        avi.u32(AviifKeyframe);
        avi.u32(positions.at(i)); // from the 'movi' four-character code
        avi.u32(static_cast<quint32>(jpegs.at(i).size()));
    }
    avi.fermer(riff);

    QSaveFile fichier(chemin);
    if (!fichier.open(QIODevice::WriteOnly))
        return echec(fichier.errorString());
    if (fichier.write(avi.donnees()) != avi.taille()) {
        const QString raison = fichier.errorString();
        fichier.cancelWriting();
        return echec(raison);
    }
    if (!fichier.commit())
        return echec(fichier.errorString());
    return true;
}

} // namespace Movendi::Media
