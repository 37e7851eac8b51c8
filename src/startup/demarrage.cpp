#include "startup/demarrage.h"

#include "config/clesconfiguration.h"
#include "config/crypte.h"
#include "config/fnkestrel.h"
#include "i18n/constmessage.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "machine/automate.h"
#include "machine/grafcetlibrary.h"
#include "machine/machinecontrol.h"
#include "platform/applicationfolder.h"
#include "platform/messagebox.h"
#include "platform/portoutput.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "platform/x11windows.h"
#include "screens/navigation.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "utilities/fonctionutilitaires.h"

#include <QDir>
#include <QLocale>
#include <QLockFile>

#include <optional>

namespace Movendi::Startup {

namespace {

const QString sectionBase = QStringLiteral("Base de donnée");

// Refuses a second copy: a window captioned like the home screen, or the folder's lock file.
bool autreCopieEnMarche()
{
    const quint32 fenetre = Screens::TrouverFenetre(QStringLiteral("acceuil"));
    if (fenetre != 0 && Platform::x11WindowExists(fenetre))
        return true;
    auto verrou = std::make_unique<QLockFile>(
        QDir(State::etat().dossierApplication).filePath(QStringLiteral("movendi.lck")));
    verrou->setStaleLockTime(0);
    if (!verrou->tryLock(0))
        return true;
    State::etat().verrouInstance = std::move(verrou);
    return false;
}

void echecAutomate(const QString &texteJournal, const QString &texteBoite, std::int32_t code,
                   const QString &detail = {})
{
    QString journal = texteJournal + QString::number(code);
    if (!detail.isEmpty())
        journal += QStringLiteral(" (") + detail + QLatin1Char(')');
    Journal::JournaliserErreur(QStringLiteral("main"), journal);
    Platform::messageBox().show(QStringLiteral("Movendi"), texteBoite + QString::number(code));
}

std::optional<double> convertirTaux(const QString &texte)
{
    bool ok = false;
    double taux = QLocale(QLocale::French, QLocale::France).toDouble(texte, &ok);
    if (!ok)
        taux = QLocale::c().toDouble(texte, &ok);
    return ok ? std::optional<double>(taux / 100.0) : std::nullopt;
}

} // namespace

std::int32_t initialiserAutomate()
{
    const QString ini =
        QDir(State::etat().dossierApplication).filePath(QStringLiteral("RURUDIZ.ini"));
    State::etat().cheminEpi = Platform::exchangeFolder(State::etat().dossierApplication, ini);
    qputenv("MOVENDI_EPI", QFile::encodeName(State::etat().cheminEpi));

    // An empty value names the default library too.
    const QString configure =
        Platform::readProfileString(ini, QStringLiteral("Machine"), QStringLiteral("Automate"))
            .value;
    const QString nom = configure.isEmpty() ? Config::defautCle(QStringLiteral("Machine"),
                                                                QStringLiteral("Automate"))
                                            : configure;
    auto bibliotheque = std::make_unique<Machine::GrafcetLibrary>();
    if (!bibliotheque->load(QDir(State::etat().dossierApplication).absoluteFilePath(nom),
                            Machine::controleDemande())) {
        echecAutomate(QStringLiteral("erreur ini_grfcet "), QStringLiteral("Erreur init grafcet "),
                      Machine::GrafcetLibrary::NotLoaded, bibliotheque->errorText());
        return Machine::GrafcetLibrary::NotLoaded;
    }
    State::etat().bibliothequeAutomate = std::move(bibliotheque);
    Machine::installAutomate(State::etat().bibliothequeAutomate.get());
    const std::int32_t r = Machine::automate().init_grafcet(Machine::InitGrafcetMode);
    if (r != 0)
        echecAutomate(QStringLiteral("erreur ini_grfcet "), QStringLiteral("Erreur init grafcet "),
                      r);
    return r;
}

QString CheminRunAuto()
{
    return Utilities::DossierApplication() + QStringLiteral("RUNAUTO.INI");
}

void EcrireDrapeauMarche(bool enMarche)
{
    Config::EcrireIniString(CheminRunAuto(), QStringLiteral("Application"),
                            QStringLiteral("Running"),
                            enMarche ? QStringLiteral("OUI") : QStringLiteral("NON"));
}

QTime ConvertirHeure(const QString &texte, const QTime &defaut)
{
    for (const char *format : {"H:m", "H:m:s"}) {
        const QTime heure = QTime::fromString(texte.trimmed(), QLatin1String(format));
        if (heure.isValid())
            return heure;
    }
    return defaut;
}

QString ConstruireChaineConnexion(const QString &motDePasse, const QString &serveur,
                                  const QString &base)
{
    return QStringLiteral("uid=sa;pwd=") + motDePasse +
           QStringLiteral(";driver={SQL Server}; server=") + serveur +
           QStringLiteral(";database=") + base + QStringLiteral(";dsn=''");
}

void LireConfiguration()
{
    State::EtatDemarrage &e = State::etat();
    const QString &ini = e.CheminIni;
    const QString machine = QStringLiteral("Machine");
    const QString portCom = QStringLiteral("PortCom");
    e.NomBase = Config::lireCle(ini, sectionBase, QStringLiteral("Nom"));
    e.ServeurBase = Config::lireCle(ini, sectionBase, QStringLiteral("Serveur"));
    // An unusable value keeps the default.
    const QString tva = QStringLiteral("TVA"), taux = QStringLiteral("Taux");
    e.TauxTVA = convertirTaux(Config::lireCle(ini, tva, taux))
                    .value_or(convertirTaux(Config::defautCle(tva, taux)).value_or(0));
    e.TicketActif = Config::lireCleOuiNon(ini, sectionBase, QStringLiteral("Ticket"));
    e.PortModem = Config::lireCleEntiere(ini, portCom, QStringLiteral("PortModem"));
    e.PortTPE = Config::lireCleEntiere(ini, portCom, QStringLiteral("PortTPE"));
    e.IdentiteMachine = Config::lireCle(ini, machine, QStringLiteral("Indentité Machine"));
    e.LocalisationMachine = Config::lireCle(ini, machine, QStringLiteral("Location"));
    e.IntervalControl = Config::lireCleEntiere(ini, machine, QStringLiteral("IntervalControl"));
    e.ChargementArriere = Config::lireCleOuiNon(ini, machine, QStringLiteral("ChargementArriere"));

    const QString telecollecte = QStringLiteral("Télécollecte");
    const auto heure = [&](const QString &cle) {
        return ConvertirHeure(Config::lireCle(ini, telecollecte, cle),
                              ConvertirHeure(Config::defautCle(telecollecte, cle), QTime()));
    };
    e.DebutTelecollecte = heure(QStringLiteral("Debut"));
    e.FinTelecollecte = heure(QStringLiteral("Fin"));

    e.sortieLCD =
        Platform::createLcdOutput(Config::lireCle(ini, machine, QStringLiteral("LCD")),
                                  Utilities::DossierEchange() + QStringLiteral("/lcd.txt"));
    Platform::installPortOutput(e.sortieLCD.get());
}

IssueDemarrage Main()
{
    State::EtatDemarrage &e = State::etat();
    if (autreCopieEnMarche())
        return IssueDemarrage::AutreCopie;

    e.Langue = QStringLiteral("FR");

    if (initialiserAutomate() != 0)
        return IssueDemarrage::EchecAutomate;
    if (const std::int32_t r = Machine::automate().raz_tpv(Machine::RazTpvMode); r != 0) {
        echecAutomate(QStringLiteral("erreur init moteur "), QStringLiteral("Erreur init moteur "),
                      r);
        return IssueDemarrage::EchecAutomate;
    }

    const QString dossier = e.dossierApplication;
    e.CheminIni = dossier + QStringLiteral("/RURUDIZ.ini");
    e.CheminImages = dossier + QStringLiteral("/image/");
    LireConfiguration();

    State::Ecrans *screens = State::ecrans();
    bool drapeauEcrit = false;
    try {
        EcrireDrapeauMarche(true);
        drapeauEcrit = true;
        e.MotDePasseBase = Config::DecrypterChaine(Config::MotDePasseChiffre()).left(5);
        e.ChaineConnexion = ConstruireChaineConnexion(e.MotDePasseBase, e.ServeurBase, e.NomBase);
        if (!screens)
            throw Journal::ErreurExecution(Journal::Erreurs::ErreurInterne,
                                           QStringLiteral("aucun écran d'accueil"));
        // Fills the French messages first, then loads the customer screens (their load
        // handlers read the messages) and puts their captions on.
        I18n::ChargerMessages(QStringLiteral("FR"));
        e.MontantAPayer = Money::Monnaie();
        screens->reprendreVentesInterrompues();
        screens->afficherAccueil();
        State::RelancerRetourAutomatique();
        Screens::CacherSouris();
    } catch (const Journal::ErreurExecution &erreur) {
        if (erreur.numero() == Journal::Erreurs::BaseDeDonnees)
            Journal::JournaliserErreur(QStringLiteral("Main"),
                                       QStringLiteral("Problème de base de donnée"));
        Journal::SignalerErreur(QStringLiteral("Main"), erreur);
    } catch (const std::exception &erreur) {
        Journal::SignalerErreur(QStringLiteral("Main"),
                                Journal::ErreurExecution(Journal::Erreurs::ErreurInterne,
                                                         QString::fromLocal8Bit(erreur.what())));
    }
    if (screens && screens->accueilCharge())
        return IssueDemarrage::EnMarche;
    // No screen will ever write the end flag: the program ends here, so say so.
    if (drapeauEcrit)
        EcrireDrapeauMarche(false);
    return IssueDemarrage::EchecSequence;
}

} // namespace Movendi::Startup
