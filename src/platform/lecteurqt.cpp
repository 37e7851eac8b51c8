#include "platform/lecteurqt.h"

#include "platform/clock.h"
#include "platform/seams.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QPointer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <QWidget>

namespace Movendi::Platform {

LecteurQtMedia::LecteurQtMedia() = default;

LecteurQtMedia::~LecteurQtMedia()
{
    for (auto &[alias, film] : m_films) {
        film.lecteur->stop();
        delete film.image;
    }
}

quint32 LecteurQtMedia::ouvrir(const QString &alias, const QString &chemin, quint64 fenetre)
{
    if (m_films.count(alias))
        return ResultatMedia::ParametreManquant;
    if (!QFileInfo(chemin).isFile())
        return ResultatMedia::FichierIntrouvable;
    Film film;
    film.lecteur = std::make_unique<QMediaPlayer>();
    QWidget *parent = QWidget::find(WId(fenetre));
    film.image = new QVideoWidget(parent);
    film.image->setAttribute(Qt::WA_TransparentForMouseEvents);
    film.lecteur->setVideoOutput(film.image);
    if (parent)
        film.image->setGeometry(parent->rect());
    film.image->show();
    film.lecteur->setSource(QUrl::fromLocalFile(QFileInfo(chemin).absoluteFilePath()));
    // The player loads in the background; the length is asked right after opening.
    const qint64 debut = clock().monotonicMs();
    while (clock().monotonicMs() - debut < AttenteChargementMs) {
        const QMediaPlayer::MediaStatus etat = film.lecteur->mediaStatus();
        if (etat == QMediaPlayer::LoadedMedia || etat == QMediaPlayer::InvalidMedia ||
            etat == QMediaPlayer::BufferedMedia)
            break;
        clock().processEventsFor(20);
    }
    if (film.lecteur->mediaStatus() == QMediaPlayer::InvalidMedia) {
        delete film.image;
        return ResultatMedia::FichierIntrouvable;
    }
    // The sound output only for a film with sound: it holds the sound server's connection for as
    // long as the film is open. The map keeps the film where it is until it is closed, and the
    // connection ends with its player.
    Film &ouvert = m_films.emplace(alias, std::move(film)).first->second;
    const auto brancherSon = [&ouvert] {
        if (ouvert.son || !ouvert.lecteur->hasAudio())
            return;
        ouvert.son = std::make_unique<QAudioOutput>();
        ouvert.son->setMuted(ouvert.muet);
        ouvert.lecteur->setAudioOutput(ouvert.son.get());
    };
    QObject::connect(ouvert.lecteur.get(), &QMediaPlayer::hasAudioChanged, ouvert.lecteur.get(),
                     brancherSon);
    brancherSon();
    return ResultatMedia::Ok;
}

LecteurQtMedia::Film *LecteurQtMedia::film(const QString &alias)
{
    const auto it = m_films.find(alias);
    return it == m_films.end() ? nullptr : &it->second;
}

quint32 LecteurQtMedia::placer(const QString &alias, const QRect &zone)
{
    Film *f = film(alias);
    if (!f)
        return ResultatMedia::AppareilInconnu;
    if (f->image)
        f->image->setGeometry(zone);
    return ResultatMedia::Ok;
}

quint32 LecteurQtMedia::jouer(const QString &alias, qint64 depuisMs)
{
    Film *f = film(alias);
    if (!f)
        return ResultatMedia::AppareilInconnu;
    f->lecteur->setPosition(depuisMs);
    f->lecteur->play();
    return ResultatMedia::Ok;
}

quint32 LecteurQtMedia::son(const QString &alias, bool actif)
{
    Film *f = film(alias);
    if (!f)
        return ResultatMedia::AppareilInconnu;
    f->muet = !actif;
    if (f->son)
        f->son->setMuted(f->muet);
    return ResultatMedia::Ok;
}

quint32 LecteurQtMedia::tempsEnMillisecondes(const QString &alias)
{
    return film(alias) ? ResultatMedia::Ok : ResultatMedia::AppareilInconnu;
}

quint32 LecteurQtMedia::duree(const QString &alias, qint64 *ms)
{
    Film *f = film(alias);
    *ms = f ? f->lecteur->duration() : 0;
    return f ? ResultatMedia::Ok : ResultatMedia::AppareilInconnu;
}

quint32 LecteurQtMedia::position(const QString &alias, qint64 *ms)
{
    Film *f = film(alias);
    *ms = f ? f->lecteur->position() : 0;
    return f ? ResultatMedia::Ok : ResultatMedia::AppareilInconnu;
}

quint32 LecteurQtMedia::taille(const QString &alias, QSize *taille)
{
    Film *f = film(alias);
    *taille = QSize();
    if (!f)
        return ResultatMedia::AppareilInconnu;
    if (QVideoSink *sink = f->image ? f->image->videoSink() : nullptr)
        *taille = sink->videoSize();
    return ResultatMedia::Ok;
}

quint32 LecteurQtMedia::arreter(const QString &alias)
{
    Film *f = film(alias);
    if (!f)
        return ResultatMedia::AppareilInconnu;
    f->lecteur->stop();
    return ResultatMedia::Ok;
}

quint32 LecteurQtMedia::fermer(const QString &alias)
{
    const auto it = m_films.find(alias);
    if (it == m_films.end())
        return ResultatMedia::AppareilInconnu;
    it->second.lecteur->stop();
    delete it->second.image;
    m_films.erase(it);
    return ResultatMedia::Ok;
}

QImage LecteurQtMedia::imageCourante(const QString &alias) const
{
    const auto it = m_films.find(alias);
    if (it == m_films.end() || !it->second.image || !it->second.image->videoSink())
        return {};
    return it->second.image->videoSink()->videoFrame().toImage();
}

} // namespace Movendi::Platform
