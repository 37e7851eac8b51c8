#pragma once

#include "platform/mediacommandes.h"

#include <QImage>
#include <QPointer>
#include <QVideoWidget>

#include <map>
#include <memory>

class QAudioOutput;
class QMediaPlayer;

namespace Movendi::Platform {

// The attract film's player over Qt Multimedia: opening makes a player whose picture shows in a
// video widget created inside the given window; the other calls act on it. Opening waits,
// processing events through the clock seam, until the film is loaded or refused (a few seconds
// at most), so that its length can be asked at once.
class LecteurQtMedia final : public LecteurMedia
{
public:
    LecteurQtMedia();
    ~LecteurQtMedia() override;
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

    static constexpr qint64 AttenteChargementMs = 5000;

    // The picture the film of an alias shows now (null when none), for screenshots: a video
    // window is not part of a widget's grab on every platform.
    QImage imageCourante(const QString &alias) const;

private:
    struct Film
    {
        std::unique_ptr<QMediaPlayer> lecteur;
        std::unique_ptr<QAudioOutput> son; // only once the film turns out to have sound
        QPointer<QVideoWidget> image;      // owned by its parent window while that lives
        bool muet = false;
    };
    // The film of an alias, or null.
    Film *film(const QString &alias);

    std::map<QString, Film> m_films;
};

} // namespace Movendi::Platform
