// movendi-captures: starts the kiosk offscreen on an application folder, plays a customer who
// touches the first article and adds a top-up, in French then in English, and saves what the
// screens show as PNG files.
#include "front/fnacceuil.h"
#include "front/kioskscreens.h"
#include "platform/applicationfolder.h"
#include "platform/messagebox.h"
#include "platform/seams.h"
#include "sale/frmchoix.h"
#include "startup/demarrage.h"
#include "startup/ecrans.h"
#include "startup/etatdemarrage.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdio>

using namespace Movendi;

namespace {

const QSize tailleEcran(1280, 1024);

void attendre(int ms = 150)
{
    QTest::qWait(ms);
}

template <typename T> T *controle(QWidget *ecran, const QString &nom, int index = -1)
{
    for (T *w : ecran->findChildren<T *>(nom)) {
        if (index < 0 || w->property("index").toInt() == index)
            return w;
    }
    return nullptr;
}

bool capturer(QWidget *ecran, const QString &fichier)
{
    // A kiosk screen's size, whatever the size of the offscreen display.
    ecran->showNormal();
    attendre(); // leaving full screen settles asynchronously
    ecran->setFixedSize(tailleEcran);
    attendre();
    const bool ok = ecran->grab().save(fichier);
    ecran->setMinimumSize(0, 0);
    ecran->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    std::printf("%s %s\n", ok ? "capture:" : "capture impossible:", qPrintable(fichier));
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = QApplication::arguments();
    const QString sortie = args.size() > 1 ? args.last() : QString();
    if (sortie.isEmpty() || sortie.startsWith(QLatin1String("--"))) {
        std::fprintf(stderr, "usage: movendi-captures --dossier DIR OUTPUT_FOLDER\n");
        return 64;
    }
    QDir().mkpath(sortie);
    Startup::etat().dossierApplication =
        Platform::resolveApplicationFolder(args, QString(), QDir::currentPath());
    Platform::FileMessageBox boites(QDir(sortie).filePath(QStringLiteral("boites.txt")));
    Platform::installMessageBox(&boites);
    Front::KioskScreens screens;
    Startup::installerEcrans(&screens);
    if (Startup::Main() != Startup::IssueDemarrage::EnMarche) {
        std::fprintf(stderr, "le kiosque n'a pas démarré\n");
        return 1;
    }
    bool ok = true;
    for (const QString &langue : {QStringLiteral("FR"), QStringLiteral("EN")}) {
        Front::FnAcceuil *accueil = screens.fnAcceuil();
        QTest::mouseClick(controle<QPushButton>(accueil, langue == QLatin1String("FR")
                                                             ? QStringLiteral("CmdFR")
                                                             : QStringLiteral("CmdEN")),
                          Qt::LeftButton);
        ok = capturer(accueil,
                      QDir(sortie).filePath(QStringLiteral("accueil-%1.png").arg(langue))) &&
             ok;
        QTest::mouseClick(controle<QLabel>(accueil, QStringLiteral("Image1"), 0), Qt::LeftButton);
        attendre();
        Sale::FrmChoix *choix = screens.frmChoix();
        QTest::mouseClick(controle<QPushButton>(choix, QStringLiteral("Command1")), Qt::LeftButton);
        ok = capturer(choix, QDir(sortie).filePath(QStringLiteral("choix-%1.png").arg(langue))) &&
             ok;
        QTest::mouseClick(controle<QPushButton>(choix, QStringLiteral("CmdAnn")), Qt::LeftButton);
        attendre();
    }
    screens.fnAcceuil()->terminer();
    Startup::installerEcrans(nullptr);
    Platform::installMessageBox(nullptr);
    return ok ? 0 : 1;
}
