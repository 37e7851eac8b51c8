#include "essaisperipheriques.h"

#include "machine/grafcetlibrary.h"
#include "machine/machinecontrol.h"
#include "platform/applicationfolder.h"
#include "platform/clock.h"
#include "platform/portoutput.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "sale/ticketclient.h"
#include "stock/afficheurlcd.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <optional>

namespace Movendi::Admin {

namespace {

QString fichierConfiguration(const QString &dossier)
{
    return QDir(dossier).filePath(QStringLiteral("RURUDIZ.ini"));
}

QString cle(const QString &dossier, const QString &section, const QString &nom,
            const QString &defaut = {})
{
    const Platform::ProfileValue lu =
        Platform::readProfileString(fichierConfiguration(dossier), section, nom);
    return lu.status == Platform::ProfileStatus::Found ? lu.value.trimmed() : defaut;
}

// The value after an option, or nothing; `erreur` is set when the option has no value or a
// value that is not a whole number.
std::optional<int> optionEntiere(const QStringList &arguments, const QString &option, bool *erreur)
{
    const qsizetype at = arguments.indexOf(option);
    if (at < 0)
        return std::nullopt;
    bool ok = false;
    const int valeur = at + 1 < arguments.size() ? arguments.at(at + 1).toInt(&ok) : 0;
    if (!ok)
        *erreur = true;
    return ok ? std::optional<int>(valeur) : std::nullopt;
}

QString identite(const QString &dossier)
{
    return cle(dossier, QStringLiteral("Machine"), QStringLiteral("Indentité Machine"));
}

} // namespace

int essayerImprimante(const QString &dossier, const QStringList &arguments, QTextStream &out,
                      QTextStream &err)
{
    bool usage = false;
    const std::optional<int> port = optionEntiere(arguments, QStringLiteral("--port"), &usage);
    if (usage) {
        err << "usage: movendi-admin imprimante DIR [--port N]\n";
        return 64;
    }
    const QString ini = fichierConfiguration(dossier);
    std::unique_ptr<Platform::SerialLine> ligne = Platform::serialLines().create(ini);
    const QString reglages = QString::fromLatin1(Platform::TicketPrinterSettings);

    int ouvert = 0;
    if (port) {
        if (ligne->open(*port, reglages))
            ouvert = *port;
        else
            err << "erreur: port " << *port << ": " << ligne->errorText() << '\n';
    } else {
        // As the kiosk searches at start-up: from port 2, the modem's port skipped.
        const int modem = cle(dossier, QStringLiteral("PortCom"), QStringLiteral("PortModem"),
                              QStringLiteral("3"))
                              .toInt();
        for (int p = 2; p < 22 && ouvert == 0; ++p) {
            if (p != modem && ligne->open(p, reglages))
                ouvert = p;
        }
        if (ouvert == 0)
            err << "erreur: aucun port d'imprimante ne s'ouvre (ports 2 à 21)\n";
    }
    if (ouvert == 0)
        return 1;

    const QString moment = Platform::clock().now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    const QString texte = QStringLiteral("\r\nEssai d'impression\r\n%1\r\nPort %2 (%3)\r\n%4")
                              .arg(identite(dossier))
                              .arg(ouvert)
                              .arg(reglages, moment);
    bool ecrit = true;
    for (const QByteArray &morceau :
         Sale::morceauxImpression(QString(), QStringLiteral("TEST IMPRIMANTE"), texte))
        ecrit = ecrit && ligne->write(morceau);
    const QString erreurEcriture = ligne->errorText();
    ligne->close();
    if (!ecrit) {
        err << "erreur: port " << ouvert << ": écriture impossible: " << erreurEcriture << '\n';
        return 1;
    }
    out << "Ticket d'essai envoyé sur le port " << ouvert << " (" << reglages
        << "): vérifiez qu'il est sorti, coupé.\n";
    return 0;
}

int essayerLcd(const QString &dossier, const QStringList &arguments, QTextStream &out,
               QTextStream &err)
{
    const QString ligne1 = arguments.value(0, QStringLiteral("Essai afficheur"));
    const QString ligne2 = arguments.value(1, identite(dossier));
    const QString ini = fichierConfiguration(dossier);
    const QString peripherique = cle(dossier, QStringLiteral("Machine"), QStringLiteral("LCD"));
    const QString miroir =
        QDir(Platform::exchangeFolder(dossier, ini)).filePath(QStringLiteral("lcd.txt"));
    std::unique_ptr<Platform::PortOutput> sortie = Platform::createLcdOutput(peripherique, miroir);
    Platform::installPortOutput(sortie.get());

    Stock::AfficheurLCD afficheur;
    afficheur.InitAfficheur();
    // The first line padded, so that the second text starts the second line.
    const QString texte =
        Stock::texteMessageLCD(ligne1.leftJustified(20, QLatin1Char(' '), true), ligne2);
    Stock::envoyerTexteLCD(afficheur, texte);
    const QString erreur = afficheur.prendreErreur();
    Platform::installPortOutput(nullptr);
    if (!erreur.isEmpty()) {
        err << "erreur: afficheur " << (peripherique.isEmpty() ? miroir : peripherique) << ": "
            << erreur << '\n';
        return 1;
    }
    out << "Afficheur ("
        << (peripherique.isEmpty() ? QStringLiteral("simulé, ") + miroir : peripherique) << "):\n  "
        << texte.left(20) << "\n  " << texte.mid(20, 20) << '\n';
    if (peripherique.isEmpty()) {
        QFile fichier(miroir);
        if (fichier.open(QIODevice::ReadOnly))
            out << "lcd.txt:\n" << QString::fromUtf8(fichier.readAll());
    }
    return 0;
}

int essayerAutomate(const QString &dossier, const QStringList &arguments, QTextStream &out,
                    QTextStream &err)
{
    bool usage = false;
    const std::optional<int> emplacement =
        optionEntiere(arguments, QStringLiteral("--emplacement"), &usage);
    const std::optional<int> fermer = optionEntiere(arguments, QStringLiteral("--fermer"), &usage);
    if (usage) {
        err << "usage: movendi-admin automate DIR [--emplacement N] [--fermer N]\n";
        return 64;
    }
    const QString ini = fichierConfiguration(dossier);
    // The library finds the exchange folder as the kiosk tells it.
    qputenv("MOVENDI_EPI", QFile::encodeName(Platform::exchangeFolder(dossier, ini)));
    const QString chemin = QDir(dossier).absoluteFilePath(cle(dossier, QStringLiteral("Machine"),
                                                              QStringLiteral("Automate"),
                                                              QStringLiteral("libgrafcet.so")));
    Machine::GrafcetLibrary bibliotheque;
    if (!bibliotheque.load(chemin)) {
        err << "erreur: bibliothèque du mécanisme " << chemin << ": " << bibliotheque.errorText()
            << '\n';
        return 1;
    }
    out << "Bibliothèque: " << chemin << '\n';
    struct Appel
    {
        const char *nom;
        std::int32_t code;
    };
    QList<Appel> appels{{"init_grafcet", bibliotheque.init_grafcet(Machine::InitGrafcetMode)}};
    if (appels.last().code == 0) {
        appels.append({"CheckDoor", bibliotheque.CheckDoor()});
        if (emplacement) {
            appels.append(
                {"DrumPosition",
                 bibliotheque.DrumPosition(Machine::DrumUnit, *emplacement, Machine::DrumSpeed)});
            if (appels.last().code == 0)
                appels.append({"OpenDoor", bibliotheque.OpenDoor(Machine::DrumUnit, *emplacement,
                                                                 Machine::DrumSpeed)});
        }
        if (fermer)
            appels.append({"CloseDoor",
                           bibliotheque.CloseDoor(Machine::DrumUnit, *fermer, Machine::DrumSpeed)});
    }
    bool ok = true;
    for (const Appel &a : appels) {
        out << "  " << a.nom << ": " << a.code << (a.code == 0 ? " (ok)" : " (erreur)") << '\n';
        ok = ok && a.code == 0;
    }
    return ok ? 0 : 1;
}

} // namespace Movendi::Admin
