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

// The media commands over Qt Multimedia: "open" makes a player whose picture shows in a video
// widget created inside the window named by "parent"; "put ... window at", "play [from]",
// "stop", "close", "set ... audio all on|off", "set ... time format milliseconds", "status ...
// length|position|mode" and "where ... destination" act on it. Positions and lengths are in
// milliseconds. Opening waits, processing events through the clock seam, until the film is
// loaded or refused (a few seconds at most), so that its length can be asked at once.
class LecteurQtMedia final : public CommandesMedia
{
public:
    LecteurQtMedia();
    ~LecteurQtMedia() override;
    quint32 envoyer(const QString &commande, QString *reponse = nullptr) override;

    static constexpr qint64 AttenteChargementMs = 5000;

    // The picture the film of an alias shows now (null when none), for screenshots: a video
    // window is not part of a widget's grab on every platform.
    QImage imageCourante(const QString &alias) const;

private:
    struct Film
    {
        std::unique_ptr<QMediaPlayer> lecteur;
        std::unique_ptr<QAudioOutput> son;
        QPointer<QVideoWidget> image; // owned by its parent window while that lives
    };
    quint32 ouvrir(const CommandeMedia &c);

    std::map<QString, Film> m_films;
};

} // namespace Movendi::Platform
