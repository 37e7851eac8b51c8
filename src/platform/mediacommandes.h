#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace Movendi::Platform {

// The result codes a media command can give, as the player's callers know them.
namespace ResultatMedia {
inline constexpr quint32 Ok = 0;
inline constexpr quint32 CommandeInconnue = 261;
inline constexpr quint32 AppareilInconnu = 263;
inline constexpr quint32 FichierIntrouvable = 275;
inline constexpr quint32 ParametreManquant = 417;
inline constexpr quint32 AucunLecteur = 319;
} // namespace ResultatMedia

/// The attract film's player: one call for each of the film's media commands, on a film named
/// by its alias; a result code (0 for success) and, for the questions, the answer. Lengths and
/// positions are in milliseconds. The installed player (see installLecteurMedia) lives until it
/// is replaced.
class LecteurMedia
{
public:
    virtual ~LecteurMedia() = default;
    /// Opens the file as the film of that alias, its picture shown in the window `fenetre`.
    virtual quint32 ouvrir(const QString &alias, const QString &chemin, quint64 fenetre) = 0;
    /// Places the picture at that rectangle of its window.
    virtual quint32 placer(const QString &alias, const QRect &zone) = 0;
    virtual quint32 jouer(const QString &alias, qint64 depuisMs) = 0;
    virtual quint32 son(const QString &alias, bool actif) = 0;
    /// Lengths and positions in milliseconds from now on (the only unit this player has).
    virtual quint32 tempsEnMillisecondes(const QString &alias) = 0;
    virtual quint32 duree(const QString &alias, qint64 *ms) = 0;
    virtual quint32 position(const QString &alias, qint64 *ms) = 0;
    /// The film's own picture size.
    virtual quint32 taille(const QString &alias, QSize *taille) = 0;
    virtual quint32 arreter(const QString &alias) = 0;
    virtual quint32 fermer(const QString &alias) = 0;
};

/// Each call as the media command string it stands for ("open MPEGVideo!\"PATH\" alias A parent
/// N Style 1073741824", "put A window at 0 0 640 360", "play A from 0"...): what the player's
/// record and its tests read, written here only.
namespace TexteCommandeMedia {
QString ouvrir(const QString &alias, const QString &chemin, quint64 fenetre);
QString placer(const QString &alias, const QRect &zone);
QString jouer(const QString &alias, qint64 depuisMs);
QString son(const QString &alias, bool actif);
QString tempsEnMillisecondes(const QString &alias);
QString duree(const QString &alias);
QString position(const QString &alias);
QString taille(const QString &alias);
QString arreter(const QString &alias);
QString fermer(const QString &alias);
} // namespace TexteCommandeMedia

// Where no player is installed (staff tools, tests that show no film): every call answers
// AucunLecteur.
class SansLecteurMedia final : public LecteurMedia
{
public:
    quint32 ouvrir(const QString &, const QString &, quint64) override;
    quint32 placer(const QString &, const QRect &) override;
    quint32 jouer(const QString &, qint64) override;
    quint32 son(const QString &, bool) override;
    quint32 tempsEnMillisecondes(const QString &) override;
    quint32 duree(const QString &, qint64 *ms) override;
    quint32 position(const QString &, qint64 *ms) override;
    quint32 taille(const QString &, QSize *taille) override;
    quint32 arreter(const QString &) override;
    quint32 fermer(const QString &) override;
};

// A player for tests: notes every call as its command string and answers as a player would,
// from what the test set: an open fails on a missing file, the length and the position are the
// test's, the size is the film's own.
class EnregistreurMedia final : public LecteurMedia
{
public:
    quint32 ouvrir(const QString &alias, const QString &chemin, quint64 fenetre) override;
    quint32 placer(const QString &alias, const QRect &zone) override;
    quint32 jouer(const QString &alias, qint64 depuisMs) override;
    quint32 son(const QString &alias, bool actif) override;
    quint32 tempsEnMillisecondes(const QString &alias) override;
    quint32 duree(const QString &alias, qint64 *ms) override;
    quint32 position(const QString &alias, qint64 *ms) override;
    quint32 taille(const QString &alias, QSize *taille) override;
    quint32 arreter(const QString &alias) override;
    quint32 fermer(const QString &alias) override;

    QStringList commandes;
    qint64 dureeMs = 60000;
    qint64 positionMs = 0;
    int largeur = 0; // the film's own size
    int hauteur = 0;
    // The aliases open now.
    QStringList ouverts;

private:
    // Notes the call; AppareilInconnu when the alias is not open.
    quint32 noter(const QString &commande, const QString &alias);
};

} // namespace Movendi::Platform
