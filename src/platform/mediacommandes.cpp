#include "platform/mediacommandes.h"

#include <QFileInfo>

namespace Movendi::Platform {

namespace {

// A child window: the film plays inside the window it is given.
constexpr qint64 StyleEnfant = 1073741824;

} // namespace

namespace TexteCommandeMedia {

QString ouvrir(const QString &alias, const QString &chemin, quint64 fenetre)
{
    // A path is passed whole between double quotes, whatever blanks it holds.
    return QStringLiteral("open MPEGVideo!\"%1\" alias %2 parent %3 Style %4")
        .arg(chemin, alias)
        .arg(fenetre)
        .arg(StyleEnfant);
}

QString placer(const QString &alias, const QRect &zone)
{
    return QStringLiteral("put %1 window at %2 %3 %4 %5")
        .arg(alias)
        .arg(zone.x())
        .arg(zone.y())
        .arg(zone.width())
        .arg(zone.height());
}

QString jouer(const QString &alias, qint64 depuisMs)
{
    return QStringLiteral("play %1 from %2").arg(alias).arg(depuisMs);
}

QString son(const QString &alias, bool actif)
{
    return QStringLiteral("set %1 audio all %2")
        .arg(alias, actif ? QStringLiteral("on") : QStringLiteral("off"));
}

QString tempsEnMillisecondes(const QString &alias)
{
    return QStringLiteral("set %1 time format milliseconds").arg(alias);
}

QString duree(const QString &alias)
{
    return QStringLiteral("status %1 length").arg(alias);
}

QString position(const QString &alias)
{
    return QStringLiteral("status %1 position notify").arg(alias);
}

QString taille(const QString &alias)
{
    return QStringLiteral("where %1 destination").arg(alias);
}

QString arreter(const QString &alias)
{
    return QStringLiteral("stop ") + alias;
}

QString fermer(const QString &alias)
{
    return QStringLiteral("close ") + alias;
}

} // namespace TexteCommandeMedia

quint32 SansLecteurMedia::ouvrir(const QString &, const QString &, quint64)
{
    return ResultatMedia::AucunLecteur;
}
quint32 SansLecteurMedia::placer(const QString &, const QRect &)
{
    return ResultatMedia::AucunLecteur;
}
quint32 SansLecteurMedia::jouer(const QString &, qint64)
{
    return ResultatMedia::AucunLecteur;
}
quint32 SansLecteurMedia::son(const QString &, bool)
{
    return ResultatMedia::AucunLecteur;
}
quint32 SansLecteurMedia::tempsEnMillisecondes(const QString &)
{
    return ResultatMedia::AucunLecteur;
}
quint32 SansLecteurMedia::duree(const QString &, qint64 *ms)
{
    *ms = 0;
    return ResultatMedia::AucunLecteur;
}
quint32 SansLecteurMedia::position(const QString &, qint64 *ms)
{
    *ms = 0;
    return ResultatMedia::AucunLecteur;
}
quint32 SansLecteurMedia::taille(const QString &, QSize *taille)
{
    *taille = QSize();
    return ResultatMedia::AucunLecteur;
}
quint32 SansLecteurMedia::arreter(const QString &)
{
    return ResultatMedia::AucunLecteur;
}
quint32 SansLecteurMedia::fermer(const QString &)
{
    return ResultatMedia::AucunLecteur;
}

quint32 EnregistreurMedia::noter(const QString &commande, const QString &alias)
{
    commandes << commande;
    return ouverts.contains(alias) ? ResultatMedia::Ok : ResultatMedia::AppareilInconnu;
}

quint32 EnregistreurMedia::ouvrir(const QString &alias, const QString &chemin, quint64 fenetre)
{
    commandes << TexteCommandeMedia::ouvrir(alias, chemin, fenetre);
    if (!QFileInfo(chemin).isFile())
        return ResultatMedia::FichierIntrouvable;
    ouverts << alias;
    positionMs = 0;
    return ResultatMedia::Ok;
}

quint32 EnregistreurMedia::placer(const QString &alias, const QRect &zone)
{
    return noter(TexteCommandeMedia::placer(alias, zone), alias);
}

quint32 EnregistreurMedia::jouer(const QString &alias, qint64 depuisMs)
{
    return noter(TexteCommandeMedia::jouer(alias, depuisMs), alias);
}

quint32 EnregistreurMedia::son(const QString &alias, bool actif)
{
    return noter(TexteCommandeMedia::son(alias, actif), alias);
}

quint32 EnregistreurMedia::tempsEnMillisecondes(const QString &alias)
{
    return noter(TexteCommandeMedia::tempsEnMillisecondes(alias), alias);
}

quint32 EnregistreurMedia::duree(const QString &alias, qint64 *ms)
{
    const quint32 r = noter(TexteCommandeMedia::duree(alias), alias);
    *ms = r == ResultatMedia::Ok ? dureeMs : 0;
    return r;
}

quint32 EnregistreurMedia::position(const QString &alias, qint64 *ms)
{
    const quint32 r = noter(TexteCommandeMedia::position(alias), alias);
    *ms = r == ResultatMedia::Ok ? positionMs : 0;
    return r;
}

quint32 EnregistreurMedia::taille(const QString &alias, QSize *t)
{
    const quint32 r = noter(TexteCommandeMedia::taille(alias), alias);
    *t = r == ResultatMedia::Ok ? QSize(largeur, hauteur) : QSize();
    return r;
}

quint32 EnregistreurMedia::arreter(const QString &alias)
{
    return noter(TexteCommandeMedia::arreter(alias), alias);
}

quint32 EnregistreurMedia::fermer(const QString &alias)
{
    const quint32 r = noter(TexteCommandeMedia::fermer(alias), alias);
    ouverts.removeAll(alias);
    return r;
}

} // namespace Movendi::Platform
