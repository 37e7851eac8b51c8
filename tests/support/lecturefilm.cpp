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
    const quint32 ouverture =
        lecteur.ouvrir(alias, QString::fromLocal8Bit(argv[1]), quint64(fenetre.winId()));
    std::printf("open %u\n", ouverture);
    lecteur.placer(alias, QRect(0, 0, 640, 360));
    lecteur.jouer(alias, 0);
    qint64 longueur = 0;
    lecteur.duree(alias, &longueur);
    std::printf("length %lld\n", qlonglong(longueur));
    QElapsedTimer montre;
    montre.start();
    const qint64 processeur = tempsProcesseurMs();
    std::printf("positions");
    while (montre.elapsed() < 2000) {
        // Waits in the event loop, as the kiosk does between its timer's ticks.
        QEventLoop attente;
        QTimer::singleShot(250, &attente, &QEventLoop::quit);
        attente.exec();
        qint64 position = 0;
        lecteur.position(alias, &position);
        std::printf(" %lld", qlonglong(position));
    }
    std::printf("\ncpu %lld ms over %lld ms\n", tempsProcesseurMs() - processeur, montre.elapsed());
    lecteur.fermer(alias);
    return 0;
}
