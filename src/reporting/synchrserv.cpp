#include "reporting/synchrserv.h"

#include "reporting/classeurexcel.h"
#include "reporting/echecexport.h"

#include "config/fnkestrel.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/ftpupload.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"
#include "store/conversions.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <QDir>
#include <QFile>

namespace Movendi::Reporting {

using Journal::ErreurExecution;
using State::etat;
using Store::StoreDatabase;

namespace {

const QString Contexte = QStringLiteral("TransferFTP");
const QString EtapeCopie = QStringLiteral("Copy Data from Detail to Detail Étape");

enum class Genre { Entier, Moment, Montant, Reel, Texte };

struct Colonne
{
    const char *nom;
    Genre genre;
};

constexpr Colonne Colonnes[] = {
    {"NumVente", Genre::Entier},
    {"LaDate", Genre::Moment},
    {"NoCBClient", Genre::Texte},
    {"TypeMouvement", Genre::Entier},
    {"IdentMachine", Genre::Texte},
    {"NoRemiseTelecollecte", Genre::Entier},
    {"DateTelecollecte", Genre::Moment},
    {"Ticket", Genre::Texte},
    {"NoVente", Genre::Entier},
    {"Montant", Genre::Montant},
    {"EcoTaxe", Genre::Montant},
    {"TVA", Genre::Reel},
    {"RefProduit", Genre::Texte},
    {"Designation", Genre::Texte},
    {"Marque", Genre::Texte},
    {"NoIMEI", Genre::Texte},
    {"NoSIM", Genre::Texte},
    {"Quantite", Genre::Entier},
    {"NoFamille", Genre::Entier},
    {"EAN13recharge", Genre::Texte},
    {"NoSerieRecharge", Genre::Texte},
    {"SynchroServ", Genre::Entier},
    {"NoCommande", Genre::Texte},
};

Cellule cellule(const QVariant &valeur, Genre genre)
{
    if (valeur.isNull())
        return std::monostate{};
    switch (genre) {
    case Genre::Entier:
        return double(valeur.toLongLong());
    case Genre::Reel:
        return valeur.toDouble();
    case Genre::Montant:
        return StoreDatabase::monnaie(valeur);
    case Genre::Moment: {
        const QDateTime moment = StoreDatabase::momentDepuisBase(valeur);
        // A moment the store cannot read goes as it is rather than not at all.
        if (moment.isValid())
            return moment;
        return valeur.toString();
    }
    case Genre::Texte:
        break;
    }
    return valeur.toString();
}

// A value as the SQL driver would have typed it, for the conversions the cells share.
QVariant variantDepuis(const Store::ValeurBrute &v)
{
    switch (v.genre) {
    case Store::ValeurBrute::Genre::Nul:
        return {};
    case Store::ValeurBrute::Genre::Entier:
        return QVariant(QByteArray::fromRawData(v.utf8.data(), v.utf8.size()).toLongLong());
    case Store::ValeurBrute::Genre::Reel:
        return QVariant(v.reel);
    case Store::ValeurBrute::Genre::Texte:
        break;
    }
    return QVariant(QString::fromUtf8(v.utf8));
}

QString dossierSynchro()
{
    return etat().dossierApplication + QLatin1Char('/') + QLatin1String(DossierSynchro);
}

// Two runs in the same second would give one name, and the second workbook would replace a
// file perhaps not uploaded yet: the next free second is taken instead.
QString nomFichierLibre(StoreDatabase &base, const QString &dossier, QDateTime moment)
{
    QString identite = etat().IdentiteMachine;
    identite.replace(QLatin1Char('/'), QLatin1Char('-'));
    for (;;) {
        const QString nom = QStringLiteral("Sync") + identite +
                            moment.toString(QStringLiteral("ddMMyyyyHHmmss")) +
                            QStringLiteral(".xls");
        if (!Utilities::FichierExiste(dossier, nom) &&
            base.lire(QStringLiteral("SELECT 1 FROM FichierTransfer WHERE NomFichier = ? COLLATE "
                                     "NOCASE"),
                      {nom})
                .estVide())
            return nom;
        moment = moment.addSecs(1);
    }
}

// Writes the details not yet sent to a new workbook, records it and marks its rows, or, when
// the workbook cannot be written, reports the failed step and changes nothing. False when
// there was nothing to export.
bool exporterDetails(StoreDatabase &base, const QString &dossier)
{
    const QString nom = nomFichierLibre(base, dossier, Platform::clock().now());
    if (!Utilities::DossierAccessible(dossier))
        QDir().mkpath(dossier);

    const QStringList champs = colonnesDetail();
    // One workbook holds at most its sheet's rows; the rest go with the next run. The rows
    // are encoded as SQLite hands them over: none is held as a query result.
    ClasseurExcel classeur(QStringLiteral("Detail"), champs);
    QByteArray cles = "[";
    QList<Cellule> ligne;
    base.parcourirBrut(QStringLiteral("SELECT %1, IdDetail FROM Detail ORDER BY IdDetail LIMIT %2")
                           .arg(champs.join(QStringLiteral(", ")))
                           .arg(ClasseurExcel::LignesMax - 1),
                       {}, [&](const QList<Store::ValeurBrute> &valeurs) {
                           ligne.clear();
                           for (qsizetype c = 0; c < qsizetype(std::size(Colonnes)); ++c)
                               ligne << cellule(variantDepuis(valeurs.at(c)), Colonnes[c].genre);
                           classeur.ajouterLigne(ligne);
                           if (cles.size() > 1)
                               cles += ',';
                           cles += valeurs.last().utf8.toByteArray();
                       });
    if (classeur.lignes() == 1)
        return false;
    cles += ']';

    const QString chemin = dossier + QLatin1Char('/') + nom;
    QString erreur;
    if (!classeur.ecrire(chemin, &erreur)) {
        // The rows stay unsent and go in the next run's workbook.
        Journal::SignalerErreur(Contexte,
                                signalerEchecExport(EtapeCopie, Contexte, chemin, erreur));
        return true;
    }

    try {
        base.debuterTransaction();
        base.inserer(QStringLiteral("INSERT INTO FichierTransfer (NomFichier) VALUES (?)"), {nom});
        // Exactly the rows the workbook holds, in one statement.
        base.executer(QStringLiteral("UPDATE DetailVente SET SynchroServ = 1 WHERE Id IN "
                                     "(SELECT value FROM json_each(?))"),
                      {QString::fromLatin1(cles)});
        base.valider();
    } catch (const ErreurExecution &) {
        try {
            base.annuler();
        } catch (const ErreurExecution &) {
        }
        // Not recorded: the same rows make a new workbook next time.
        QFile::remove(chemin);
        throw;
    }
    return true;
}

void envoyerFichiersEnAttente(StoreDatabase &base, const QString &dossier)
{
    const ReglagesFtp reglages = LireReglagesFtp(etat().CheminIni);
    etat().TransfertTermine = false;
    std::unique_ptr<Platform::FtpSession> session =
        Platform::ftpUploads().open({reglages.serveur, reglages.port, reglages.utilisateur,
                                     reglages.motDePasse, reglages.ftps, reglages.ca},
                                    QString::fromLatin1(DossierDistant));

    const Store::ResultatRequete attente =
        base.lire(QStringLiteral("SELECT Id, NomFichier, Echecs FROM FichierTransfer WHERE "
                                 "Transfert = 0 AND MisDeCote = 0 ORDER BY Id"));
    for (qsizetype i = 0; i < attente.lignes.size(); ++i) {
        const QString nom = Store::ConvertNullStr(attente.valeur(i, QStringLiteral("NomFichier")));
        if (nom.isEmpty())
            continue;
        const QVariant id = attente.valeur(i, QStringLiteral("Id"));
        etat().TransfertTermine = false;
        const std::optional<QString> surDisque = Platform::findFileNoCase(dossier, nom);
        if (!surDisque) {
            // Nothing to send, ever: said once and marked, so that it is not looked for again.
            base.executer(QStringLiteral("UPDATE FichierTransfer SET MisDeCote = 2, Motif = ? "
                                         "WHERE Id = ?"),
                          {QStringLiteral("absent du disque"), id});
            Journal::JournaliserErreur(Contexte,
                                       QStringLiteral("%1 enregistré mais absent de %2: mis de "
                                                      "côté")
                                           .arg(nom, dossier));
            continue;
        }
        if (reglages.serveur.isEmpty())
            throw ErreurExecution(ErreurFtp, QStringLiteral("pas de serveur FTP configuré"));
        QString erreur;
        Platform::FtpFailure panne = Platform::FtpFailure::None;
        const bool envoye = session->upload(
            dossier + QLatin1Char('/') + *surDisque, nom,
            [](qint64 envoyes, qint64 total) {
                if (envoyes >= total)
                    etat().TransfertTermine = true;
            },
            &erreur, &panne);
        if (!envoye && panne == Platform::FtpFailure::File) {
            // A file the server refuses every time must not hold back every later one.
            const int echecs = attente.valeur(i, QStringLiteral("Echecs")).toInt() + 1;
            const bool deCote = echecs >= EchecsAvantMiseDeCote;
            base.executer(QStringLiteral("UPDATE FichierTransfer SET Echecs = ?, MisDeCote = ?, "
                                         "Motif = ? WHERE Id = ?"),
                          {echecs, deCote ? 1 : 0, erreur, id});
            if (deCote) {
                Journal::JournaliserErreur(
                    Contexte, QStringLiteral("%1 refusé par le serveur %2 fois, mis de côté "
                                             "(gardé dans %3): %4")
                                  .arg(nom)
                                  .arg(echecs)
                                  .arg(dossier, erreur));
                continue;
            }
        }
        if (!envoye)
            throw ErreurExecution(ErreurFtp, erreur);
        // Only a file the server confirmed whole, every byte counted, is marked sent.
        if (etat().TransfertTermine)
            base.executer(QStringLiteral("UPDATE FichierTransfer SET Transfert = 1 WHERE Id = ?"),
                          {attente.valeur(i, QStringLiteral("Id"))});
    }
}

} // namespace

ReglagesFtp LireReglagesFtp(const QString &cheminIni)
{
    const QString section = QStringLiteral("FTP");
    ReglagesFtp r;
    r.serveur = Config::lireCle(cheminIni, section, QStringLiteral("Serveur"));
    r.utilisateur = Config::lireCle(cheminIni, section, QStringLiteral("Utilisateur"));
    r.motDePasse = Config::lireCle(cheminIni, section, QStringLiteral("MotDePasse"));
    r.port = Config::lirePortReseau(cheminIni, section, QStringLiteral("Port"));
    r.ftps = Config::lireCleOuiNon(cheminIni, section, QStringLiteral("FTPS"));
    r.ca = Config::lireCle(cheminIni, section, QStringLiteral("CA"));
    return r;
}

QStringList colonnesDetail()
{
    QStringList noms;
    for (const Colonne &c : Colonnes)
        noms << QLatin1String(c.nom);
    return noms;
}

void TransferFTP()
{
    try {
        StoreDatabase base;
        const QString dossier = dossierSynchro();
        if (!exporterDetails(base, dossier))
            return;
        envoyerFichiersEnAttente(base, Platform::resolvePathNoCase(dossier));
    } catch (const ErreurExecution &erreur) {
        Journal::SignalerErreur(Contexte, erreur);
    }
}

} // namespace Movendi::Reporting
