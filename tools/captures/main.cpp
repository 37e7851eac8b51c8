// movendi-captures: starts the kiosk offscreen on an application folder, plays a customer who
// touches the first article and adds a top-up, in French then in English, and saves what the
// screens show as PNG files. With --vente NAME the customer goes on: pays by card, takes the
// article when the door opens, and the payment screen is saved at the card prompt and during
// the delivery (paiement-NAME-carte.png, paiement-NAME-distribution.png). With --remplissage a
// staff member opens the refill screen (F12), scans the first phone and the first top-up voucher
// of the delivery list as a keyboard-emulating scanner types them, closes each door, prints the
// inventory (F11) and saves the screen (remplissage.png). --ventes N plays the sale N times
// without capturing (every other customer without a top-up), and prints each one's time, the UI
// thread's processor time and the process's resident memory; --acceleration K runs the kiosk's own
// waits (the ticket prompt, the screens' pauses, the terminal's polls) K times faster, for measures
// of many sales.
#include "client/clientscripte.h"
#include "client/scaledclock.h"
#include "front/flottekiosque.h"
#include "front/fnacceuil.h"
#include "front/kioskscreens.h"
#include "front/kiosque.h"
#include "media/frmvideo.h"
#include "platform/applicationfolder.h"
#include "platform/installation.h"
#include "platform/lecteurqt.h"
#include "platform/messagebox.h"
#include "platform/seams.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"
#include "startup/demarrage.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "stock/frmremplissage.h"
#include "stock/listeimei.h"
#include "utilities/fonctionutilitaires.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <ctime>
#include <optional>

using namespace Movendi;
using Movendi::Client::controle;

namespace {

const QSize tailleEcran(1280, 1024);

void attendre(int ms = 150)
{
    QTest::qWait(ms);
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

// Processor time of the UI thread, in seconds: what a sale costs the thread every screen
// depends on, apart from the waits for the devices.
// Resident memory of the process, in MB.
double memoireResidente()
{
    QFile statut(QStringLiteral("/proc/self/status"));
    if (!statut.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &ligne : statut.readAll().split('\n')) {
        if (ligne.startsWith("VmRSS:"))
            return ligne.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

double processeurFil()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The customer of a whole sale: a tile, a top-up, validate, then the payment screen drives
// itself; the card prompt and the delivery are captured, the article taken when offered.
bool jouerVente(Front::KioskScreens &screens, const QString &nom, const QString &sortie,
                bool captures = true, bool recharge = true)
{
    // Measures need no screen to settle for a picture: a short pause after each touch.
    Client::ClientScripte client(screens, captures ? std::function<void()>()
                                                   : std::function<void()>([] { attendre(30); }));
    if (!client.toucher(controle<QPushButton>(screens.fnAcceuil(), QStringLiteral("CmdFR"))) ||
        !client.toucherTuile() || (recharge && !client.ajouterRecharge())) {
        std::fprintf(stderr, "vente: écran sans le contrôle attendu\n");
        return false;
    }

    Sale::FrmPayment *paiement = screens.frmPayment();
    bool carteCapturee = false;
    bool distributionCapturee = false;
    bool ok = true;
    Client::ClientScripte::Suivi suivi;
    suivi.pendant = [&] {
        if (captures && !carteCapturee && paiement->isVisible() &&
            paiement->LabelChoisisser()->text() == State::etat().Messages.MsgInsererCarte) {
            carteCapturee = true;
            ok =
                capturer(paiement,
                         QDir(sortie).filePath(QStringLiteral("paiement-%1-carte.png").arg(nom))) &&
                ok;
            paiement->showFullScreen();
        }
    };
    suivi.avantDePrendre = [&] {
        if (!distributionCapturee && captures) {
            distributionCapturee = true;
            ok = capturer(paiement, QDir(sortie).filePath(
                                        QStringLiteral("paiement-%1-distribution.png").arg(nom))) &&
                 ok;
            paiement->showFullScreen();
        }
        std::printf("client: prend son article et touche \"%s\"\n",
                    qPrintable(paiement->CmdTicketFermPorte()->text()));
    };
    std::printf("client: touche le premier article, ajoute une recharge et valide\n");
    QElapsedTimer duree;
    duree.start();
    const double cpuAvant = processeurFil();
    client.payer(suivi);
    std::printf("vente terminée en %.2f s (processeur %.1f ms, mémoire %.1f Mo)\n",
                duree.elapsed() / 1000.0, (processeurFil() - cpuAvant) * 1000.0,
                memoireResidente());
    return ok && (carteCapturee || !captures) && !paiement->paiementEnCours();
}

void afficherLCD()
{
    QFile lcd(Utilities::DossierEchange() + QStringLiteral("/lcd.txt"));
    if (!lcd.open(QIODevice::ReadOnly)) {
        std::printf("  LCD: (aucun affichage)\n");
        return;
    }
    for (const QByteArray &ligne : lcd.readAll().split('\n')) {
        if (!ligne.isEmpty())
            std::printf("  LCD |%s|\n", ligne.constData());
    }
}

// The first code of a column of the delivery list.
QString premierCode(const Stock::ListeIMEI &liste, const QString &colonne)
{
    for (qsizetype i = 0; i < liste.nombreLignes(); ++i) {
        if (const QVariant v = liste.valeur(i, colonne); !v.isNull())
            return v.toString();
    }
    return {};
}

bool jouerRemplissage(Front::KioskScreens &screens, const QString &sortie)
{
    QTest::keyRelease(screens.fnAcceuil(), Qt::Key_F12);
    attendre();
    Stock::FrmRemplissage *ecran = screens.frmRemplissage();
    if (!ecran)
        return false;
    const Stock::ListeIMEI liste =
        Stock::ListeIMEI::lire(Utilities::DossierApplication() + QStringLiteral("/ListeIMEI.xls"));
    auto *champ = controle<QLineEdit>(ecran, QStringLiteral("TextCodBar"));
    auto *porte = controle<QPushButton>(ecran, QStringLiteral("Command1"));
    int charges = 0;
    for (const QString &colonne : {QStringLiteral("NumIMEI"), QStringLiteral("NSTE")}) {
        const QString code = premierCode(liste, colonne);
        std::printf("douchette: %s %s puis Entrée\n",
                    colonne == QLatin1String("NumIMEI") ? "IMEI" : "NSTE", qPrintable(code));
        QTest::keyClicks(champ, code);
        QTest::keyClick(champ, Qt::Key_Return);
        attendre();
        afficherLCD();
        if (champ->text().isEmpty())
            ++charges;
        if (porte->isVisible()) {
            std::printf("  porte de l'emplacement %d ouverte: article posé, \"%s\"\n",
                        ecran->EmplacementOuvert(), qPrintable(porte->text()));
            porte->click();
        }
    }
    std::printf("F11: inventaire affiché et imprimé\n");
    QTest::keyRelease(champ, Qt::Key_F11);
    attendre();
    const bool capture = capturer(ecran, QDir(sortie).filePath(QStringLiteral("remplissage.png")));
    ecran->showFullScreen();
    QTest::keyRelease(champ, Qt::Key_F4);
    attendre(900);
    std::printf("F4: retour à l'accueil (%s)\n",
                screens.frmRemplissage() ? "écran de remplissage encore ouvert" : "fait");
    return capture && charges == 2 && !screens.frmRemplissage();
}

// The attract player a moment into the film. The film's window is drawn from the player's
// current picture, as a video window is not part of a widget's grab offscreen.
bool capturerFilm(Front::KioskScreens &screens, Platform::LecteurQtMedia &lecteur,
                  const QString &sortie)
{
    Media::FrmVideo *video = screens.fnAcceuil()->lecteur();
    video->showNormal();
    video->setFixedSize(tailleEcran);
    attendre(2000);
    QImage ecran = video->grab().toImage();
    const QImage image = lecteur.imageCourante(video->AliasMedia());
    if (QWidget *cadre = video->findChild<QWidget *>(QStringLiteral("Picture1"));
        cadre && !image.isNull()) {
        QPainter peintre(&ecran);
        peintre.drawImage(cadre->geometry(), image);
        peintre.end();
        // The buttons and the invitation stay over the film.
        for (const char *nom : {"LabelInvitation", "CmdAnn", "Command8"}) {
            if (QWidget *w = video->findChild<QWidget *>(QLatin1String(nom)))
                w->render(&ecran, w->pos(), QRegion(), QWidget::DrawChildren);
        }
    }
    const QString fichier = QDir(sortie).filePath(QStringLiteral("film.png"));
    const bool ok = ecran.save(fichier);
    std::printf("%s %s (film %s, %d ms, image %s)\n",
                ok ? "capture:" : "capture impossible:", qPrintable(fichier),
                qPrintable(video->AliasMedia()), video->DureeMedia(),
                image.isNull() ? "absente" : "du film");
    video->hide();
    video->setMinimumSize(0, 0);
    video->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return ok && !image.isNull();
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
        std::fprintf(stderr, "usage: movendi-captures --dossier DIR [--vente NAME [--ventes N]] "
                             "[--acceleration K] OUTPUT_FOLDER\n");
        return 64;
    }
    QDir().mkpath(sortie);
    State::etat().dossierApplication =
        Platform::resolveApplicationFolder(args, QString(), QDir::currentPath());
    Platform::FileMessageBox boites(QDir(sortie).filePath(QStringLiteral("boites.txt")));
    const Platform::InstalledMessageBox boitesInstallees(&boites);
    // Installed before the kiosk is built: every wait of the run goes through it.
    const qsizetype acceleration = args.indexOf(QStringLiteral("--acceleration"));
    std::optional<Client::ScaledClock> horlogeRapide;
    std::optional<Platform::InstalledClock> horlogeInstallee;
    if (acceleration >= 0 && acceleration + 2 < args.size()) {
        horlogeRapide.emplace(qMax(1, args.at(acceleration + 1).toInt()),
                              QDateTime::currentDateTime());
        horlogeInstallee.emplace(&*horlogeRapide);
    }
    Platform::LecteurQtMedia lecteur;
    const Platform::InstalledLecteurMedia lecteurInstalle(&lecteur);
    Front::Kiosque kiosque;
    Front::KioskScreens &screens = kiosque.ecrans();
    // The fleet as the kiosk runs it, when the folder's configuration names a broker.
    Front::FlotteKiosque flotte(screens);
    if (Startup::Main() != Startup::IssueDemarrage::EnMarche) {
        std::fprintf(stderr, "le kiosque n'a pas démarré\n");
        return 1;
    }
    flotte.demarrer();
    if (args.contains(QStringLiteral("--remplissage"))) {
        bool ok = false;
        try {
            ok = jouerRemplissage(screens, sortie);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "remplissage: %s\n", e.what());
        }
        screens.fnAcceuil()->terminer();
        return ok ? 0 : 1;
    }
    const qsizetype vente = args.indexOf(QStringLiteral("--vente"));
    if (vente >= 0 && vente + 2 < args.size()) {
        // --ventes N: the same customer N times, for measures: no screen captured.
        const qsizetype n = args.indexOf(QStringLiteral("--ventes"));
        const int fois = n >= 0 && n + 2 < args.size() ? qMax(1, args.at(n + 1).toInt()) : 1;
        bool ok = true;
        // Every other customer takes a top-up: the drum holds half as many vouchers as phones.
        for (int i = 0; i < fois && ok; ++i)
            ok = jouerVente(screens, args.at(vente + 1), sortie, n < 0, n < 0 || i % 2 == 0);
        screens.fnAcceuil()->terminer();
        flotte.arreter();
        return ok ? 0 : 1;
    }
    bool ok = true;
    Client::ClientScripte client(screens);
    for (const QString &langue : {QStringLiteral("FR"), QStringLiteral("EN")}) {
        Front::FnAcceuil *accueil = screens.fnAcceuil();
        ok = client.toucher(controle<QPushButton>(accueil, QStringLiteral("Cmd") + langue)) &&
             capturer(accueil,
                      QDir(sortie).filePath(QStringLiteral("accueil-%1.png").arg(langue))) &&
             ok;
        ok = client.toucherTuile() && client.ajouterRecharge() &&
             capturer(screens.frmChoix(),
                      QDir(sortie).filePath(QStringLiteral("choix-%1.png").arg(langue))) &&
             ok;
        client.toucher(controle<QPushButton>(screens.frmChoix(), QStringLiteral("CmdAnn")));
    }
    ok = capturerFilm(screens, lecteur, sortie) && ok;
    screens.fnAcceuil()->terminer();
    return ok ? 0 : 1;
}
