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

namespace Movendi::Admin {

namespace {

using Startup::ErreurExecution;
using Startup::StoreDatabase;

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
    const Startup::EtatDemarrage &e = Startup::etat();
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
                                                       Startup::etat().NomBase, horodatage()));
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
            throw Startup::Erreurs::accesFichier(provisoire, fichier.errorString());
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
        const Startup::ResultatRequete controle =
            base.lire(QStringLiteral("PRAGMA integrity_check"));
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

int executerRestauration(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {}, {}, 2, 2);
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
    QLockFile verrou(QDir(a.dossier()).filePath(QLatin1String(FichierVerrouKiosque)));
    verrou.setStaleLockTime(0);
    if (!verrou.tryLock(0)) {
        qint64 pid = 0;
        QString hote, programme;
        if (verrou.error() == QLockFile::LockFailedError &&
            verrou.getLockInfo(&pid, &hote, &programme))
            err << "erreur: le kiosque tourne sur ce dossier (verrou " << FichierVerrouKiosque
                << " tenu par le processus " << pid << " sur " << hote
                << "): arrêtez-le avant de restaurer\n";
        else
            err << "erreur: verrou " << FichierVerrouKiosque
                << " impossible à prendre: arrêtez le kiosque avant de restaurer\n";
        return Echec;
    }

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
    "restaurer DOSSIER FICHIER",
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
    "Statut: 0 sauvegarde en place, 1 refusé (kiosque en marche, sauvegarde absente ou non\n"
    "saine) ou échec (la base actuelle est alors laissée en place), 64 usage.\n",
    executerRestauration,
};

} // namespace Movendi::Admin
