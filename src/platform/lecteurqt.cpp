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

quint32 LecteurQtMedia::ouvrir(const CommandeMedia &c)
{
    if (m_films.count(c.alias))
        return ResultatMedia::ParametreManquant;
    if (!QFileInfo(c.chemin).isFile())
        return ResultatMedia::FichierIntrouvable;
    Film film;
    film.lecteur = std::make_unique<QMediaPlayer>();
    film.son = std::make_unique<QAudioOutput>();
    film.lecteur->setAudioOutput(film.son.get());
    QWidget *parent = QWidget::find(WId(nombreApres(c, QStringLiteral("parent"))));
    film.image = new QVideoWidget(parent);
    film.image->setAttribute(Qt::WA_TransparentForMouseEvents);
    film.lecteur->setVideoOutput(film.image);
    if (parent)
        film.image->setGeometry(parent->rect());
    film.image->show();
    film.lecteur->setSource(QUrl::fromLocalFile(QFileInfo(c.chemin).absoluteFilePath()));
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
    m_films.emplace(c.alias, std::move(film));
    return ResultatMedia::Ok;
}

QImage LecteurQtMedia::imageCourante(const QString &alias) const
{
    const auto it = m_films.find(alias);
    if (it == m_films.end() || !it->second.image || !it->second.image->videoSink())
        return {};
    return it->second.image->videoSink()->videoFrame().toImage();
}

quint32 LecteurQtMedia::envoyer(const QString &commande, QString *reponse)
{
    if (reponse)
        reponse->clear();
    const std::optional<CommandeMedia> c = analyserCommandeMedia(commande);
    if (!c)
        return ResultatMedia::ParametreManquant;
    if (c->verbe == QLatin1String("open"))
        return ouvrir(*c);
    const auto it = m_films.find(c->alias);
    if (it == m_films.end())
        return ResultatMedia::AppareilInconnu;
    Film &film = it->second;
    const QString quoi = c->mots.value(0).toLower();
    const auto repondre = [reponse](const QString &texte) {
        if (reponse)
            *reponse = texte;
    };
    if (c->verbe == QLatin1String("play")) {
        if (quoi == QLatin1String("from"))
            film.lecteur->setPosition(c->mots.value(1).toLongLong());
        film.lecteur->play();
    } else if (c->verbe == QLatin1String("stop")) {
        film.lecteur->stop();
    } else if (c->verbe == QLatin1String("close")) {
        film.lecteur->stop();
        delete film.image;
        m_films.erase(it);
    } else if (c->verbe == QLatin1String("put")) {
        // put ALIAS window at X Y W H
        const QStringList &m = c->mots;
        if (m.size() < 6 || quoi != QLatin1String("window"))
            return ResultatMedia::ParametreManquant;
        if (film.image)
            film.image->setGeometry(m.at(2).toInt(), m.at(3).toInt(), m.at(4).toInt(),
                                    m.at(5).toInt());
    } else if (c->verbe == QLatin1String("set")) {
        if (quoi == QLatin1String("audio"))
            film.son->setMuted(c->mots.last().toLower() == QLatin1String("off"));
        else if (quoi != QLatin1String("time"))
            return ResultatMedia::ParametreManquant;
    } else if (c->verbe == QLatin1String("status")) {
        if (quoi == QLatin1String("length"))
            repondre(QString::number(film.lecteur->duration()));
        else if (quoi == QLatin1String("position"))
            repondre(QString::number(film.lecteur->position()));
        else if (quoi == QLatin1String("mode"))
            repondre(film.lecteur->playbackState() == QMediaPlayer::PlayingState
                         ? QStringLiteral("playing")
                         : QStringLiteral("stopped"));
        else
            return ResultatMedia::ParametreManquant;
    } else if (c->verbe == QLatin1String("where")) {
        QSize taille;
        if (QVideoSink *sink = film.image ? film.image->videoSink() : nullptr)
            taille = sink->videoSize();
        repondre(QStringLiteral("0 0 %1 %2").arg(taille.width()).arg(taille.height()));
    } else {
        return ResultatMedia::CommandeInconnue;
    }
    return ResultatMedia::Ok;
}

} // namespace Movendi::Platform
