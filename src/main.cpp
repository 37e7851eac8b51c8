// movendi: the kiosk program.
#include "front/flottekiosque.h"
#include "front/fnacceuil.h"
#include "front/kioskscreens.h"
#include "front/kiosque.h"
#include "platform/applicationfolder.h"
#include "platform/installation.h"
#include "platform/lecteurqt.h"
#include "platform/messagebox.h"
#include "platform/seams.h"
#include "platform/servicenotifier.h"
#include "platform/terminationsignal.h"
#include "platform/widgetmessagebox.h"
#include "startup/demarrage.h"
#include "state/etatdemarrage.h"

#include <QApplication>
#include <memory>

using namespace Movendi;

int main(int argc, char *argv[])
{
    // Screens and film are painted by the widgets' raster engine. An OpenGL context, which the
    // film's video widget would otherwise open on X11, loads the graphics driver (without a GPU,
    // Mesa's software rasteriser and LLVM): twice the memory and three times the processor while
    // the film plays. The environment may still ask for it.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Movendi"));
    QApplication::setQuitOnLastWindowClosed(false);

    State::etat().dossierApplication = Platform::resolveApplicationFolder(
        QApplication::arguments(), qEnvironmentVariable("MOVENDI_DOSSIER"),
        QApplication::applicationDirPath());

    // Unattended runs (demo, tests) record boxes in a file instead of waiting for a touch.
    std::unique_ptr<Platform::MessageBox> box;
    if (const QString boxes = qEnvironmentVariable("MOVENDI_BOITES"); !boxes.isEmpty())
        box = std::make_unique<Platform::FileMessageBox>(boxes);
    else
        box = std::make_unique<Platform::WidgetMessageBox>();
    const Platform::InstalledMessageBox boiteInstallee(box.get());

    // The attract film plays through Qt Multimedia.
    Platform::LecteurQtMedia lecteur;
    const Platform::InstalledLecteurMedia lecteurInstalle(&lecteur);

    // The terminal's link, the sale desk and the screens, handed down from here.
    Front::Kiosque kiosque;
    Front::KioskScreens &screens = kiosque.ecrans();
    Platform::TerminationSignal termination;
    QObject::connect(&termination, &Platform::TerminationSignal::requested, &app, [&] {
        if (screens.fnAcceuil())
            screens.fnAcceuil()->terminer();
        else
            QCoreApplication::quit();
    });

    // When a service manager started the kiosk: ready once the home screen shows, then pings
    // from the event loop until the orderly end.
    Platform::ServiceNotifier serviceManager;

    // The fleet, when the configuration names a broker; without, nothing of it runs. Its
    // outbox is fed from here, so that the sales settled at start-up are told too.
    Front::FlotteKiosque flotte(screens);

    int code = 0;
    switch (Startup::Main()) {
    case Startup::IssueDemarrage::EnMarche:
        flotte.demarrer();
        serviceManager.notifyReady();
        code = QApplication::exec();
        serviceManager.notifyStopping();
        flotte.arreter();
        break;
    case Startup::IssueDemarrage::AutreCopie:
        code = 3;
        break;
    case Startup::IssueDemarrage::EchecAutomate:
        code = 2;
        break;
    case Startup::IssueDemarrage::EchecSequence:
        code = 1;
        break;
    }
    return code;
}
