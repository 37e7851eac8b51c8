#include "essaisperipheriques.h"

#include "argumentscommande.h"
#include "config/fnkestrel.h"
#include "machine/grafcetlibrary.h"
#include "machine/machinecontrol.h"
#include "platform/clock.h"
#include "platform/installation.h"
#include "platform/portoutput.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "sale/ticketclient.h"
#include "state/etatdemarrage.h"
#include "stock/afficheurlcd.h"
#include "utilities/fonctionutilitaires.h"
#include "verroukiosque.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <optional>

namespace Movendi::Admin {

namespace {

// A whole-number option: nothing when absent; false (after a message) when not a number.
bool optionEntiere(const ArgumentsCommande &a, const QString &nom, std::optional<int> *valeur,
                   QTextStream &err)
{
    const QString texte = a.option(nom);
    if (texte.isNull())
        return true;
    bool ok = false;
    const int n = texte.toInt(&ok);
    if (!ok) {
        err << "erreur: " << nom << " attend un nombre entier, pas « " << texte << " »\n";
        return false;
    }
    *valeur = n;
    return true;
}

QString identite()
{
    return Config::LireIniString(State::etat().CheminIni, QStringLiteral("Machine"),
                                 QStringLiteral("Indentité Machine"), QString());
}

int essayerImprimante(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {QStringLiteral("--port")}, {}, 1, 1);
    std::optional<int> port;
    if (!a.valides(err) || !optionEntiere(a, QStringLiteral("--port"), &port, err))
        return ErreurUsage;
    if (!pointerDossier(a.dossier(), err))
        return Echec;
    // The kiosk prints on the same line.
    VerrouKiosque verrou(a.dossier());
    if (!verrou.prendre(err, QStringLiteral("essayer l'imprimante")))
        return Echec;
    const QString ini = State::etat().CheminIni;
    std::unique_ptr<Platform::SerialLine> ligne = Platform::serialLines().create(ini);
    const QString reglages = QString::fromLatin1(Platform::TicketPrinterSettings);

    int ouvert = 0;
    if (port) {
        if (ligne->open(*port, reglages))
            ouvert = *port;
        else
            err << "erreur: port " << *port << ": " << ligne->errorText() << '\n';
    } else {
        // As the kiosk searches at start-up.
        const int p = Platform::searchTicketPrinterPort(
            *ligne,
            Config::LireIniInteger(ini, QStringLiteral("PortCom"), QStringLiteral("PortModem"), 3));
        if (ligne->isOpen())
            ouvert = p;
        else
            err << "erreur: aucun port d'imprimante ne s'ouvre (20 ports essayés à partir du 2)\n";
    }
    if (ouvert == 0)
        return Echec;

    const QString moment = Platform::clock().now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    const QString texte = QStringLiteral("\r\nEssai d'impression\r\n%1\r\nPort %2 (%3)\r\n%4")
                              .arg(identite())
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
        return Echec;
    }
    out << "Ticket d'essai envoyé sur le port " << ouvert << " (" << reglages
        << "): vérifiez qu'il est sorti, coupé.\n";
    return Reussite;
}

int essayerLcd(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {}, {}, 1, 3);
    if (!a.valides(err))
        return ErreurUsage;
    if (!pointerDossier(a.dossier(), err))
        return Echec;
    VerrouKiosque verrou(a.dossier());
    if (!verrou.prendre(err, QStringLiteral("essayer l'afficheur")))
        return Echec;
    const QString ligne1 = a.valeur(1).isNull() ? QStringLiteral("Essai afficheur") : a.valeur(1);
    const QString ligne2 = a.valeur(2).isNull() ? identite() : a.valeur(2);
    // The port and the mirror as start-up takes them.
    const QString peripherique = Config::LireIniString(
        State::etat().CheminIni, QStringLiteral("Machine"), QStringLiteral("LCD"), QString());
    const QString miroir = QDir(Utilities::DossierEchange()).filePath(QStringLiteral("lcd.txt"));
    std::unique_ptr<Platform::PortOutput> sortie = Platform::createLcdOutput(peripherique, miroir);
    // The first line padded, so that the second text starts the second line.
    const QString texte =
        Stock::texteMessageLCD(ligne1.leftJustified(20, QLatin1Char(' '), true), ligne2);
    QString erreur;
    {
        const Platform::InstalledPortOutput installee(sortie.get());
        Stock::AfficheurLCD afficheur;
        afficheur.InitAfficheur();
        Stock::envoyerTexteLCD(afficheur, texte);
        erreur = afficheur.prendreErreur();
    }
    if (!erreur.isEmpty()) {
        err << "erreur: afficheur " << (peripherique.isEmpty() ? miroir : peripherique) << ": "
            << erreur << '\n';
        return Echec;
    }
    out << "Afficheur ("
        << (peripherique.isEmpty() ? QStringLiteral("simulé, ") + miroir : peripherique) << "):\n  "
        << texte.left(20) << "\n  " << texte.mid(20, 20) << '\n';
    if (peripherique.isEmpty()) {
        QFile fichier(miroir);
        if (fichier.open(QIODevice::ReadOnly))
            out << "lcd.txt:\n" << QString::fromUtf8(fichier.readAll());
    }
    return Reussite;
}

int essayerAutomate(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(
        arguments, {QStringLiteral("--emplacement"), QStringLiteral("--fermer")}, {}, 1, 1);
    std::optional<int> emplacement;
    std::optional<int> fermer;
    if (!a.valides(err) || !optionEntiere(a, QStringLiteral("--emplacement"), &emplacement, err) ||
        !optionEntiere(a, QStringLiteral("--fermer"), &fermer, err))
        return ErreurUsage;
    if (!pointerDossier(a.dossier(), err))
        return Echec;
    // Two drivers of one drum would turn it under a customer's hand.
    VerrouKiosque verrou(a.dossier());
    if (!verrou.prendre(err, QStringLiteral("essayer le mécanisme")))
        return Echec;
    // The library finds the exchange folder as the kiosk tells it.
    qputenv("MOVENDI_EPI", QFile::encodeName(Utilities::DossierEchange()));
    // An empty value names the default library, as at start-up.
    const QString nom = Config::LireIniString(State::etat().CheminIni, QStringLiteral("Machine"),
                                              QStringLiteral("Automate"), QString());
    const QString chemin =
        QDir(a.dossier()).absoluteFilePath(nom.isEmpty() ? QStringLiteral("libgrafcet.so") : nom);
    Machine::GrafcetLibrary bibliotheque;
    if (!bibliotheque.load(chemin, Machine::controleDemande())) {
        err << "erreur: bibliothèque du mécanisme " << chemin << ": " << bibliotheque.errorText()
            << '\n';
        return Echec;
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
    for (const Appel &appel : appels) {
        out << "  " << appel.nom << ": " << appel.code << (appel.code == 0 ? " (ok)" : " (erreur)")
            << '\n';
        ok = ok && appel.code == 0;
    }
    return ok ? Reussite : Echec;
}

} // namespace

const Commande CommandeImprimante = {
    "imprimante",
    "imprimante DOSSIER [--port N]",
    "imprime un ticket d'essai sur l'imprimante du kiosque",
    "Imprime un ticket d'essai (en-tête en gros caractères, identité du kiosque, port, date,\n"
    "coupe) sur le port N de RURUDIZ.ini (section PortCom, clé PortN), ou sur le premier port\n"
    "qui s'ouvre à partir du port 2, celui du modem excepté, comme le kiosque au démarrage.\n"
    "Le kiosque doit être arrêté: il tient l'imprimante tant qu'il tourne.\n"
    "\n"
    "Options:\n"
    "  --port N   ce port seulement\n"
    "\n"
    "Statut: 0 ticket envoyé (vérifiez qu'il est sorti), 1 aucun port ne s'ouvre ou écriture\n"
    "impossible, 64 usage.\n",
    essayerImprimante,
};

const Commande CommandeLcd = {
    "lcd",
    "lcd DOSSIER [LIGNE1 [LIGNE2]]",
    "écrit deux lignes sur l'afficheur de remplissage",
    "Écrit LIGNE1 et LIGNE2 (20 caractères chacune; par défaut « Essai afficheur » et l'identité\n"
    "du kiosque) sur l'afficheur du port parallèle nommé par Machine/LCD, ou sur l'afficheur\n"
    "simulé, recopié dans lcd.txt du dossier d'échange, quand la clé est absente.\n"
    "\n"
    "Statut: 0 lignes écrites, 1 port de l'afficheur inutilisable, 64 usage.\n",
    essayerLcd,
};

const Commande CommandeAutomate = {
    "automate",
    "automate DOSSIER [--emplacement N] [--fermer N]",
    "essaie le mécanisme: bibliothèque, initialisation, porte, emplacement",
    "Charge la bibliothèque du mécanisme (Machine/Automate), l'initialise (init_grafcet) et lit\n"
    "la porte (CheckDoor); affiche le code de chaque appel (0: réussi). Le kiosque doit être\n"
    "arrêté.\n"
    "\n"
    "Options:\n"
    "  --emplacement N   amène l'emplacement N (DrumPosition) et ouvre sa porte (OpenDoor)\n"
    "  --fermer N        referme la porte de l'emplacement N (CloseDoor)\n"
    "\n"
    "Statut: 0 chaque appel a réussi, 1 bibliothèque introuvable ou un appel en erreur, 64 "
    "usage.\n",
    essayerAutomate,
};

} // namespace Movendi::Admin
