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

#include <algorithm>

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

// A field already in the Western Windows code page the accountants' spreadsheet reads: quoted,
// its quotes doubled, when it holds ";", a quote, CR or LF, so that it stays in its column.
void ajouterChamp(QByteArray &ligne, QByteArrayView octets)
{
    const bool citer = std::any_of(octets.begin(), octets.end(), [](char c) {
        return c == ';' || c == '"' || c == '\r' || c == '\n';
    });
    if (!citer) {
        ligne += octets;
        return;
    }
    ligne += '"';
    for (const char c : octets) {
        if (c == '"')
            ligne += '"';
        ligne += c;
    }
    ligne += '"';
}

QByteArray ligneCsv(const QStringList &champs)
{
    QByteArray ligne;
    for (qsizetype i = 0; i < champs.size(); ++i) {
        if (i > 0)
            ligne += ';';
        ajouterChamp(ligne, Platform::toWindows1252(champs.at(i)));
    }
    return ligne + "\r\n";
}

QByteArray ligneCsv(const QVariantList &valeurs)
{
    QStringList champs;
    champs.reserve(valeurs.size());
    for (const QVariant &v : valeurs)
        champs << texteValeur(v);
    return ligneCsv(champs);
}

void ecrireCsv(const QString &chemin, const QByteArray &contenu)
{
    QSaveFile fichier(chemin);
    if (!fichier.open(QIODevice::WriteOnly) || fichier.write(contenu) != contenu.size() ||
        !fichier.commit())
        throw Journal::Erreurs::accesFichier(chemin, fichier.errorString());
}

// A value as texteValeur writes it, from SQLite's own text: most are ASCII and go as they are.
void ajouterValeur(QByteArray &ligne, const Store::ValeurBrute &v)
{
    using Genre = Store::ValeurBrute::Genre;
    if (v.genre == Genre::Nul)
        return;
    if (v.genre == Genre::Reel)
        ajouterChamp(ligne, QByteArray::number(v.reel, 'g', 15).replace('.', ','));
    else if (std::any_of(v.utf8.begin(), v.utf8.end(), [](char c) { return c & 0x80; }))
        ajouterChamp(ligne, Platform::toWindows1252(QString::fromUtf8(v.utf8)));
    else
        ajouterChamp(ligne, v.utf8);
}

// The rows of a query written as they are read: a month of sales never sits in memory. The file
// appears whole or not at all.
void ecrireCsv(const QString &chemin, Store::StoreDatabase &base, const QString &sql)
{
    QSaveFile fichier(chemin);
    if (!fichier.open(QIODevice::WriteOnly))
        throw Journal::Erreurs::accesFichier(chemin, fichier.errorString());
    QByteArray tampon;
    const auto vider = [&] {
        if (fichier.write(tampon) != tampon.size())
            throw Journal::Erreurs::accesFichier(chemin, fichier.errorString());
        tampon.clear();
    };
    base.parcourirBrut(
        sql, [&](const QStringList &colonnes) { tampon += ligneCsv(colonnes); },
        [&](const QList<Store::ValeurBrute> &valeurs) {
            for (qsizetype i = 0; i < valeurs.size(); ++i) {
                if (i > 0)
                    tampon += ';';
                ajouterValeur(tampon, valeurs.at(i));
            }
            tampon += "\r\n";
            if (tampon.size() >= 1 << 16)
                vider();
        });
    vider();
    if (!fichier.commit())
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
    QByteArray octets = ligneCsv(lignes.colonnes);
    for (const QVariantList &ligne : lignes.lignes)
        octets += ligneCsv(ligne);
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
    ecrireCsv(ventes, base, QStringLiteral("SELECT * FROM ExportCSVvente ORDER BY NumVente"));
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
