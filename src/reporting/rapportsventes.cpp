#include "reporting/rapportsventes.h"

#include "mail/email.h"
#include "reporting/envoyeremail.h"
#include "reporting/remisesbancaire.h"

#include "config/clesconfiguration.h"
#include "config/fnkestrel.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/clock.h"
#include "platform/seams.h"
#include "platform/windows1252.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Movendi::Reporting {

namespace {

constexpr int JoursOuvresFinDeMois = 5;
const QString FormatJour = QStringLiteral("dd/MM/yyyy");

Email &composantMail()
{
    Email *email = email1();
    if (!email)
        throw Journal::ErreurExecution(Journal::Erreurs::ErreurInterne,
                                       QStringLiteral("pas de composant mail"));
    return *email;
}

QString texteValeur(const QVariant &v)
{
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15).replace(QLatin1Char('.'), QLatin1Char(','));
    return v.toString();
}

void ecrireCsv(const QString &chemin, const QByteArray &contenu)
{
    QSaveFile fichier(chemin);
    if (!fichier.open(QIODevice::WriteOnly) || fichier.write(contenu) != contenu.size() ||
        !fichier.commit())
        throw Journal::Erreurs::accesFichier(chemin, fichier.errorString());
}

} // namespace

EtatRapport &etatRapport()
{
    static EtatRapport etat;
    return etat;
}

QDate jourFinDeMois(int annee, int mois)
{
    QDate jour = QDate(annee, mois, 1).addMonths(1).addDays(-1);
    int ouvres = 0;
    while (ouvres < JoursOuvresFinDeMois) {
        jour = jour.addDays(-1);
        if (jour.dayOfWeek() < Qt::Saturday)
            ++ouvres;
    }
    return jour;
}

std::optional<PeriodeRapport> periodeFinDeMois(const QDate &aujourdhui)
{
    if (aujourdhui != jourFinDeMois(aujourdhui.year(), aujourdhui.month()))
        return std::nullopt;
    return PeriodeRapport{QStringLiteral("01/%1/%2")
                              .arg(aujourdhui.month(), 2, 10, QLatin1Char('0'))
                              .arg(aujourdhui.year()),
                          aujourdhui.addDays(-1).toString(FormatJour)};
}

std::optional<PeriodeRapport> periodeDebutDeMois(const QDate &aujourdhui)
{
    if (aujourdhui.day() != 1)
        return std::nullopt;
    const QDate hier = aujourdhui.addDays(-1);
    return PeriodeRapport{
        QStringLiteral("01/%1/%2").arg(hier.month(), 2, 10, QLatin1Char('0')).arg(hier.year()),
        hier.toString(FormatJour)};
}

bool JourRapportFinDeMois()
{
    const auto periode = periodeFinDeMois(Platform::clock().now().date());
    if (periode) {
        etatRapport().DateDebutRapport = periode->debut;
        etatRapport().DateFinRapport = periode->fin;
    }
    return periode.has_value();
}

bool JourRapportDebutDeMois()
{
    const auto periode = periodeDebutDeMois(Platform::clock().now().date());
    if (periode) {
        etatRapport().DateDebutRapport = periode->debut;
        etatRapport().DateFinRapport = periode->fin;
    }
    return periode.has_value();
}

QString nomFichierRapport(const QString &prefixe, const QString &identite, const QDate &jour,
                          const QString &extension)
{
    return prefixe + identite + QString::number(jour.day()) + QLatin1Char('-') +
           QString::number(jour.month()) + extension;
}

QString dossierRapports()
{
    const QString dossier = Utilities::DossierApplication() + QStringLiteral("RapportVentes");
    if (!Utilities::DossierAccessible(dossier) && !QDir().mkpath(dossier))
        throw Journal::Erreurs::accesFichier(dossier, QStringLiteral("dossier impossible à créer"));
    return dossier;
}

QByteArray texteCsv(const Store::ResultatRequete &lignes)
{
    const auto champ = [](const QString &texte) {
        if (!texte.contains(QLatin1Char(';')) && !texte.contains(QLatin1Char('"')) &&
            !texte.contains(QLatin1Char('\r')) && !texte.contains(QLatin1Char('\n')))
            return texte;
        QString cite = texte;
        cite.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        return QLatin1Char('"') + cite + QLatin1Char('"');
    };
    QStringList sortie;
    QStringList noms;
    for (const QString &nom : lignes.colonnes)
        noms << champ(nom);
    sortie << noms.join(QLatin1Char(';'));
    for (const QVariantList &ligne : lignes.lignes) {
        QStringList valeurs;
        for (const QVariant &v : ligne)
            valeurs << champ(texteValeur(v));
        sortie << valeurs.join(QLatin1Char(';'));
    }
    // The accountants' spreadsheet reads the Western Windows code page.
    QByteArray octets;
    for (const QString &l : sortie)
        octets += Platform::toWindows1252(l) + "\r\n";
    return octets;
}

QStringList ecrireExportsCsv(const QString &debut, const QString &fin, const QDate &jour)
{
    const QString dossier = dossierRapports();
    const QString identite = State::etat().IdentiteMachine;
    const QString finJour = fin + QStringLiteral(" 23:59:59");
    Store::StoreDatabase base;
    QStringList fichiers;

    const QString ventes = QDir(dossier).filePath(
        nomFichierRapport(QStringLiteral("Ventes"), identite, jour, QStringLiteral(".CSV")));
    base.RapportCVSDetailVente(debut, finJour);
    ecrireCsv(ventes, texteCsv(base.lire(QStringLiteral("SELECT * FROM ExportCSVvente "
                                                        "ORDER BY NumVente"))));
    enregistrerFichierRapport(base, ventes);
    fichiers << ventes;

    const QString recharges = QDir(dossier).filePath(
        nomFichierRapport(QStringLiteral("Recharges"), identite, jour, QStringLiteral(".CSV")));
    ecrireCsv(recharges, texteCsv(base.RapportCVSDetailRecharge(debut, finJour)));
    enregistrerFichierRapport(base, recharges);
    fichiers << recharges;
    return fichiers;
}

QStringList destinatairesRapport(int premier, int dernier)
{
    QStringList adresses;
    for (int n = premier; n <= dernier; ++n) {
        const QString a = Config::lireCle(State::etat().CheminIni, QStringLiteral("Email"),
                                          QStringLiteral("Mailto Rapport Telvio%1").arg(n));
        if (!a.trimmed().isEmpty())
            adresses << a;
    }
    return adresses;
}

void enregistrerFichierRapport(Store::StoreDatabase &base, const QString &chemin)
{
    base.executer(
        QStringLiteral("INSERT INTO TransfertExportCSV (Fichier, LaDate) VALUES (?, ?)"),
        {QFileInfo(chemin).fileName(), Store::StoreDatabase::versBase(Platform::clock().now())});
}

void envoyerRapport(const QStringList &fichiers, const QStringList &destinataires)
{
    Email &email = composantMail();
    for (const QString &destinataire : destinataires) {
        // The control empties its list after each mail sent: the files are listed again, each
        // once, for every recipient.
        for (const QString &f : fichiers) {
            email.PieceJointeAjout(f);
            email.PieceJointeSuppr(f);
            email.PieceJointeAjout(f);
        }
        EnvoyerEmailRapportCSV(destinataire);
        for (const QString &f : fichiers)
            email.PieceJointeSuppr(f);
    }
}

void ExportCsv()
{
    try {
        // Mailed only once both files are written.
        envoyerRapport(ecrireExportsCsv(etatRapport().DateDebutRapport,
                                        etatRapport().DateFinRapport,
                                        Platform::clock().now().date()),
                       destinatairesRapport(2, 4));
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("ExportCsv"), erreur);
    }
}

void RapportBordereauxRemiseBancaire()
{
    try {
        dossierRapports();
        const QString classeur = ExportRemisesBancaire();
        {
            Store::StoreDatabase base;
            enregistrerFichierRapport(base, classeur);
        }
        envoyerRapport({classeur}, destinatairesRapport(1, 1));
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("RapportBordereauxRemiseBancaire"), erreur);
    }
}

void EnvoyerEmailRapportCSV(const QString &destinataire)
{
    if (destinataire.trimmed().isEmpty())
        return;
    try {
        Email &email = composantMail();
        const State::EtatDemarrage &e = State::etat();
        const ReglagesEmail reglages = LireReglagesEmail(e.CheminIni);
        email.setSeveurSmtp(reglages.serveur);
        email.setSecurite(reglages.securite);
        const QString sujet = QStringLiteral("Rapport D.A. Telephone Mobile ") + e.IdentiteMachine;
        const quint64 mail = envoyer(email, reglages.expediteur, destinataire, sujet,
                                     QStringLiteral("Rapport de Vente D.A. Telephone Mobile ") +
                                         e.LocalisationMachine,
                                     reglages.port);
        envoiTermine(email, mail, QStringLiteral("EnvoyerEmailRapportCSV"), destinataire, sujet);
        email.FermerWinsock();
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("EnvoyerEmailRapportCSV"), erreur);
    }
}

} // namespace Movendi::Reporting
