#include "commandesauvegarde.h"

#include "argumentscommande.h"
#include "dossierapplication.h"

#include "journal/erreur.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Movendi::Admin {

namespace {

using Journal::ErreurExecution;
using Store::StoreDatabase;

// What SQLite keeps beside a store in WAL mode: the log of the latest transactions and its
// index. A store is its file with these.
const QStringList Annexes = {QStringLiteral("-wal"), QStringLiteral("-shm")};

QString horodatage()
{
    return Platform::clock().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

// The configured store's file, spelled as on disk when it exists.
QString fichierMagasin()
{
    const State::EtatDemarrage &e = State::etat();
    return Platform::resolveFileNoCase(e.dossierApplication, e.NomBase + QStringLiteral(".db"));
}

void supprimerAvecAnnexes(const QString &fichier)
{
    QFile::remove(fichier);
    for (const QString &a : Annexes)
        QFile::remove(fichier + a);
}

int executerSauvegarde(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString option = QStringLiteral("--vers");
    const ArgumentsCommande a(arguments, {option}, {}, 1, 1);
    if (!a.valides(err))
        return ErreurUsage;
    if (!pointerDossier(a.dossier(), err))
        return Echec;
    const QString cible = a.presente(option)
                              ? QFileInfo(a.option(option)).absoluteFilePath()
                              : QDir(a.dossier())
                                    .filePath(QStringLiteral("%1/%2-%3.db")
                                                  .arg(QLatin1String(DossierSauvegardes),
                                                       State::etat().NomBase, horodatage()));
    if (QFileInfo::exists(cible)) {
        err << "erreur: " << cible << " existe déjà: rien n'est écrasé\n";
        return Echec;
    }
    if (!QDir().mkpath(QFileInfo(cible).path())) {
        err << "erreur: dossier impossible à créer: " << QFileInfo(cible).path() << '\n';
        return Echec;
    }
    // Written whole under a provisional name, so that the named file is always a whole backup.
    const QString provisoire = cible + QStringLiteral(".tmp");
    supprimerAvecAnnexes(provisoire);
    try {
        {
            StoreDatabase base;
            // One read transaction: the copy is the store as one commit left it, whatever the
            // kiosk writes meanwhile.
            base.executer(QStringLiteral("VACUUM INTO ?"), {provisoire});
        }
        QFile fichier(provisoire);
        if (!fichier.rename(cible))
            throw Journal::Erreurs::accesFichier(provisoire, fichier.errorString());
    } catch (const ErreurExecution &erreur) {
        supprimerAvecAnnexes(provisoire);
        err << "erreur: sauvegarde impossible: " << erreur.description() << '\n';
        return Echec;
    }
    out << "écrit: " << cible << '\n';
    return Reussite;
}

// Checks that the file is a sound store with every table and view of the schema; the reason
// when it is not.
QString verifierMagasin(const QString &fichier)
{
    try {
        StoreDatabase base(fichier);
        const Store::ResultatRequete controle = base.lire(QStringLiteral("PRAGMA integrity_check"));
        QStringList problemes;
        for (const QVariantList &ligne : controle.lignes) {
            if (ligne.value(0).toString() != QLatin1String("ok"))
                problemes.append(ligne.value(0).toString());
        }
        if (!problemes.isEmpty())
            return QStringLiteral("intégrité: ") + problemes.mid(0, 3).join(QStringLiteral("; "));
        QSet<QString> presents;
        for (const QVariantList &ligne :
             base.lire(QStringLiteral("SELECT lower(name) FROM sqlite_master WHERE type IN "
                                      "('table', 'view')"))
                 .lignes)
            presents.insert(ligne.value(0).toString());
        QStringList manquants;
        for (const QString &objet : objetsDuSchema()) {
            if (!presents.contains(objet.toLower()))
                manquants.append(objet);
        }
        if (!manquants.isEmpty())
            return QStringLiteral("tables absentes: ") + manquants.join(QStringLiteral(", "));
        // Everything in the file itself, so that it moves alone.
        base.lire(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        return {};
    } catch (const ErreurExecution &erreur) {
        return erreur.description();
    }
}

// Renames the file and its companions; on failure puts back what was moved.
bool deplacerAvecAnnexes(const QString &de, const QString &vers, QString *erreur)
{
    QStringList deplaces;
    for (const QString &suffixe : QStringList{QString()} + Annexes) {
        if (!QFileInfo::exists(de + suffixe))
            continue;
        QFile fichier(de + suffixe);
        if (!fichier.rename(vers + suffixe)) {
            *erreur = QStringLiteral("%1: %2").arg(de + suffixe, fichier.errorString());
            for (const QString &s : deplaces)
                QFile::rename(vers + s, de + s);
            return false;
        }
        deplaces.append(suffixe);
    }
    return true;
}

// Who the restored store belongs to, and its mode.
struct Proprietaire
{
    uid_t uid;
    gid_t gid;
    mode_t mode;
};

// "UTILISATEUR" or "UTILISATEUR:GROUPE"; the user's own group without one.
std::optional<Proprietaire> proprietaireNomme(const QString &texte, mode_t mode)
{
    const QByteArray utilisateur = texte.section(QLatin1Char(':'), 0, 0).toLocal8Bit();
    const QByteArray groupe = texte.section(QLatin1Char(':'), 1).toLocal8Bit();
    const passwd *p = ::getpwnam(utilisateur.constData());
    if (!p)
        return std::nullopt;
    gid_t gid = p->pw_gid;
    if (!groupe.isEmpty()) {
        const group *g = ::getgrnam(groupe.constData());
        if (!g)
            return std::nullopt;
        gid = g->gr_gid;
    }
    return Proprietaire{p->pw_uid, gid, mode};
}

// The sales a backup left in flight: restored, the kiosk would settle them at start-up, though
// the store being replaced may have settled them already.
int ventesEnCours(const QString &fichier, QString *detail)
{
    StoreDatabase base(fichier);
    if (base.lire(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'JournalVente'"))
            .estVide())
        return 0;
    const Store::ResultatRequete r = base.lire(
        QStringLiteral("SELECT Id, Etape FROM JournalVente WHERE Cloturee = 0 ORDER BY Id"));
    QStringList ventes;
    for (qsizetype i = 0; i < r.lignes.size(); ++i)
        ventes << QStringLiteral("%1, étape \"%2\"")
                      .arg(r.valeur(i, QStringLiteral("Id")).toLongLong())
                      .arg(r.valeur(i, QStringLiteral("Etape")).toString());
    *detail = ventes.join(QStringLiteral("; "));
    return int(r.lignes.size());
}

int executerRestauration(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString optionProprietaire = QStringLiteral("--proprietaire");
    const QString optionVente = QStringLiteral("--regler-vente");
    const ArgumentsCommande a(arguments, {optionProprietaire}, {optionVente}, 2, 2);
    if (!a.valides(err))
        return ErreurUsage;
    const QString sauvegarde = QFileInfo(a.valeur(1)).absoluteFilePath();
    if (!pointerDossier(a.dossier(), err))
        return Echec;
    if (!QFileInfo(sauvegarde).isFile()) {
        err << "erreur: sauvegarde introuvable: " << sauvegarde << '\n';
        return Echec;
    }

    // Held as the kiosk holds it, so that the kiosk cannot start while the store is swapped.
    VerrouKiosque verrou(a.dossier());
    if (!verrou.prendre(err, QStringLiteral("restaurer")))
        return Echec;

    const QString magasin = fichierMagasin();
    const QString provisoire = magasin + QStringLiteral(".restauration");
    supprimerAvecAnnexes(provisoire);
    // The backup is checked on its copy: opening it may write to it, and it stays as it was.
    for (const QString &suffixe : {QString(), QStringLiteral("-wal")}) {
        if (QFileInfo::exists(sauvegarde + suffixe) &&
            !QFile::copy(sauvegarde + suffixe, provisoire + suffixe)) {
            err << "erreur: copie impossible de " << sauvegarde + suffixe << " vers "
                << provisoire + suffixe << '\n';
            supprimerAvecAnnexes(provisoire);
            return Echec;
        }
    }
    if (const QString probleme = verifierMagasin(provisoire); !probleme.isEmpty()) {
        supprimerAvecAnnexes(provisoire);
        err << "erreur: " << sauvegarde << " n'est pas une base saine du kiosque: " << probleme
            << '\n';
        return Echec;
    }
    try {
        QString ventes;
        if (ventesEnCours(provisoire, &ventes) > 0 && !a.presente(optionVente)) {
            supprimerAvecAnnexes(provisoire);
            err << "erreur: " << sauvegarde << " contient une vente en cours (journal " << ventes
                << "): restaurée, le kiosque la réglerait au démarrage, peut-être une seconde "
                   "fois; "
                << optionVente << " pour la restaurer et la faire régler quand même\n";
            return Echec;
        }
    } catch (const ErreurExecution &erreur) {
        supprimerAvecAnnexes(provisoire);
        err << "erreur: " << erreur.description() << '\n';
        return Echec;
    }

    // The kiosk's account must still write the store: its owner and mode are kept. A store
    // restored by root with nothing to copy them from needs to be told whose it is.
    std::optional<Proprietaire> proprietaire;
    struct stat actuel
    {
    };
    if (a.presente(optionProprietaire)) {
        const mode_t mode = ::stat(QFile::encodeName(magasin).constData(), &actuel) == 0
                                ? actuel.st_mode & 07777
                                : mode_t(0640);
        proprietaire = proprietaireNomme(a.option(optionProprietaire), mode);
        if (!proprietaire) {
            supprimerAvecAnnexes(provisoire);
            err << "erreur: " << optionProprietaire
                << ": utilisateur ou groupe inconnu: " << a.option(optionProprietaire) << '\n';
            return Echec;
        }
    } else if (::stat(QFile::encodeName(magasin).constData(), &actuel) == 0) {
        proprietaire = Proprietaire{actuel.st_uid, actuel.st_gid, mode_t(actuel.st_mode & 07777)};
    } else if (::geteuid() == 0) {
        supprimerAvecAnnexes(provisoire);
        err << "erreur: pas de base en place dont garder le propriétaire: restaurée par root, "
               "elle appartiendrait à root et le kiosque ne pourrait plus l'écrire; "
            << optionProprietaire << " UTILISATEUR[:GROUPE] pour dire à qui elle est\n";
        return Echec;
    }
    if (proprietaire) {
        for (const QString &suffixe : QStringList{QString()} + Annexes) {
            const QByteArray f = QFile::encodeName(provisoire + suffixe);
            if (!QFileInfo::exists(provisoire + suffixe))
                continue;
            const bool change =
                (proprietaire->uid == ::geteuid() && proprietaire->gid == ::getegid()) ||
                ::chown(f.constData(), proprietaire->uid, proprietaire->gid) == 0;
            if (!change || ::chmod(f.constData(), proprietaire->mode) != 0) {
                const QString raison = QString::fromLocal8Bit(std::strerror(errno));
                supprimerAvecAnnexes(provisoire);
                err << "erreur: propriétaire ou droits impossibles à donner à "
                    << provisoire + suffixe << ": " << raison << '\n';
                return Echec;
            }
        }
    }

    const QFileInfo info(magasin);
    QString decote;
    for (int n = 1; decote.isEmpty() || QFileInfo::exists(decote); ++n)
        decote = info.dir().filePath(QStringLiteral("%1.avant-restauration-%2%3.%4")
                                         .arg(info.completeBaseName(), horodatage(),
                                              n > 1 ? QStringLiteral("-%1").arg(n) : QString(),
                                              info.suffix()));
    QString erreur;
    const bool existante = QFileInfo::exists(magasin);
    if (existante && !deplacerAvecAnnexes(magasin, decote, &erreur)) {
        supprimerAvecAnnexes(provisoire);
        err << "erreur: base actuelle impossible à mettre de côté: " << erreur << '\n';
        return Echec;
    }
    if (!deplacerAvecAnnexes(provisoire, magasin, &erreur)) {
        supprimerAvecAnnexes(provisoire);
        QString retour;
        if (existante && !deplacerAvecAnnexes(decote, magasin, &retour))
            err << "erreur: base actuelle laissée en " << decote << ": " << retour << '\n';
        err << "erreur: sauvegarde impossible à mettre en place: " << erreur << '\n';
        return Echec;
    }
    if (existante)
        out << "mise de côté: " << decote << '\n';
    out << "restaurée: " << sauvegarde << " -> " << magasin << '\n';
    return Reussite;
}

} // namespace

const Commande CommandeSauvegarde = {
    "sauvegarde",
    "sauvegarde DOSSIER [--vers FICHIER]",
    "écrit une copie cohérente de la base, même pendant que le kiosque tourne",
    "Écrit une copie de la base du kiosque telle qu'une transaction l'a laissée (VACUUM INTO de\n"
    "SQLite), sans arrêter le kiosque ni gêner ses ventes, dans\n"
    "DOSSIER/sauvegardes/NOM-AAAAMMJJ-HHMMSS.db (NOM: la clé Nom de la section Base de donnée),\n"
    "ou dans FICHIER. Un fichier existant n'est jamais écrasé. Affiche le fichier écrit.\n"
    "\n"
    "Options:\n"
    "  --vers FICHIER   le fichier à écrire\n"
    "\n"
    "Statut: 0 sauvegarde écrite, 1 échec (rien n'est laissé à moitié écrit), 64 usage.\n",
    executerSauvegarde,
};

const Commande CommandeRestaurer = {
    "restaurer",
    "restaurer DOSSIER FICHIER [--proprietaire UTILISATEUR[:GROUPE]] [--regler-vente]",
    "remet une sauvegarde à la place de la base (kiosque arrêté)",
    "Remet la sauvegarde FICHIER à la place de la base du kiosque. Refusé tant que le kiosque\n"
    "tourne sur DOSSIER (il tient le verrou movendi.lck), et le kiosque ne peut pas démarrer\n"
    "pendant la restauration. La sauvegarde est d'abord vérifiée sur une copie (PRAGMA\n"
    "integrity_check, toutes les tables et vues du schéma présentes); son journal -wal\n"
    "l'accompagne s'il existe. La base actuelle n'est pas supprimée: elle est renommée, avec\n"
    "ses fichiers -wal et -shm, en NOM.avant-restauration-AAAAMMJJ-HHMMSS.db, puis la\n"
    "sauvegarde prend sa place. Les ventes enregistrées après la sauvegarde ne sont plus que\n"
    "dans la base mise de côté.\n"
    "\n"
    "La base restaurée garde le propriétaire et les droits de la base actuelle, pour que le\n"
    "kiosque puisse toujours l'écrire. Sans base en place, root doit dire à qui elle est.\n"
    "Une sauvegarde qui contient une vente en cours (prise pendant une vente) est refusée: le\n"
    "kiosque la réglerait au démarrage, peut-être une seconde fois.\n"
    "\n"
    "Options:\n"
    "  --proprietaire UTILISATEUR[:GROUPE]   à qui donner la base restaurée\n"
    "  --regler-vente                        restaurer quand même une sauvegarde qui contient\n"
    "                                        une vente en cours, que le kiosque réglera\n"
    "\n"
    "Statut: 0 sauvegarde en place, 1 refusé (kiosque en marche, sauvegarde absente, non\n"
    "saine ou avec une vente en cours, propriétaire inconnu) ou échec (la base actuelle est alors\n"
    "laissée en place), 64 usage.\n",
    executerRestauration,
};

} // namespace Movendi::Admin
