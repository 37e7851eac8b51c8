// lecturefilm FILM: plays a film through the kiosk's Qt Multimedia player inside a window, as the
// attract player does, and prints its length, the positions read every 250 ms for two seconds,
// and the processor time the process used meanwhile. Exit 77 when the platform has no media
// back-end at all.
#include "platform/lecteurqt.h"
#include "platform/seams.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMediaFormat>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <sys/resource.h>

namespace {
qint64 tempsProcesseurMs()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000 +
           (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 64;
    if (QMediaFormat().supportedFileFormats(QMediaFormat::Decode).isEmpty()) {
        std::printf("pas de lecteur multimédia sur cette plateforme\n");
        return 77;
    }
    QWidget fenetre;
    fenetre.resize(800, 600);
    fenetre.show();
    Movendi::Platform::LecteurQtMedia lecteur;
    const QString alias = QStringLiteral("7Aform");
    QString reponse;
    const quint32 ouverture =
        lecteur.envoyer(QStringLiteral("open MPEGVideo!\"%1\" alias %2 parent %3 Style 1073741824")
                            .arg(QString::fromLocal8Bit(argv[1]), alias)
                            .arg(fenetre.winId()));
    std::printf("open %u\n", ouverture);
    lecteur.envoyer(QStringLiteral("put %1 window at 0 0 640 360").arg(alias));
    lecteur.envoyer(QStringLiteral("play %1 from 0").arg(alias));
    lecteur.envoyer(QStringLiteral("status %1 length").arg(alias), &reponse);
    std::printf("length %s\n", qPrintable(reponse));
    QElapsedTimer montre;
    montre.start();
    const qint64 processeur = tempsProcesseurMs();
    std::printf("positions");
    while (montre.elapsed() < 2000) {
        // Waits in the event loop, as the kiosk does between its timer's ticks.
        QEventLoop attente;
        QTimer::singleShot(250, &attente, &QEventLoop::quit);
        attente.exec();
        lecteur.envoyer(QStringLiteral("status %1 position").arg(alias), &reponse);
        std::printf(" %s", qPrintable(reponse));
    }
    std::printf("\ncpu %lld ms over %lld ms\n", tempsProcesseurMs() - processeur, montre.elapsed());
    lecteur.envoyer(QStringLiteral("close %1").arg(alias));
    return 0;
}
