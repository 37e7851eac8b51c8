#include "dossierapplication.h"

#include "democatalogue.h"
#include "filmdemo.h"
#include "machine/provenancebibliotheque.h"
#include "platform/filelookup.h"
#include "platform/profilefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

#include "journal/erreur.h"
#include "store/storedatabase.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <sqlite3.h>
#include <unistd.h>

namespace Movendi::Admin {

namespace {

QByteArray donnee(const QString &nom)
{
    QFile file(QStringLiteral(":/data/") + nom);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ecrireFichier(const QString &chemin, const QByteArray &contenu, QString *erreur,
                   QFile::Permissions droits = QFile::ReadOwner | QFile::WriteOwner |
                                               QFile::ReadGroup | QFile::ReadOther)
{
    QFile file(chemin);
    if (!file.open(QIODevice::WriteOnly, droits) || file.write(contenu) != contenu.size()) {
        *erreur = file.errorString();
        return false;
    }
    return true;
}

// The configuration holds the mail, FTP and broker passwords: the kiosk's account alone reads
// it (the kiosk's own rewrites keep the file's permissions).
constexpr QFile::Permissions DroitsConfiguration = QFile::ReadOwner | QFile::WriteOwner;

} // namespace

bool creerJournal(const QString &chemin, QString *erreur)
{
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(chemin).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char *message = nullptr;
    const QByteArray schema = donnee(QStringLiteral("mainten.sql"));
    if (rc == SQLITE_OK)
        rc = schema.isEmpty() ? SQLITE_ERROR
                              : sqlite3_exec(db, schema.constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK && erreur)
        *erreur = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    sqlite3_close(db);
    return rc == SQLITE_OK;
}

namespace {

// The demo's library is a copy inside its folder.
void copierBibliotheque(const QString &source, const QString &cible, InitReport &report)
{
    if (source.isNull()) {
        report.lines.append(QStringLiteral("gardé: %1").arg(cible));
    } else if (!QFileInfo(source).isFile()) {
        report.fail(
            QStringLiteral("erreur: bibliothèque du mécanisme introuvable: %1").arg(source));
    } else if (QFileInfo(source).canonicalFilePath() != QFileInfo(cible).canonicalFilePath()) {
        QFile::remove(cible);
        if (QFile::copy(source, cible))
            report.lines.append(QStringLiteral("copié: %1").arg(cible));
        else
            report.fail(
                QStringLiteral("erreur: copie de %1 vers %2 impossible").arg(source, cible));
    }
}

// A real kiosk's folder only links to its library, which stays where root installed it: the
// kiosk's account, which owns the folder, must not be able to change the code that drives the
// drum. A library already in the folder is kept if the check lets it through.
void lierBibliotheque(const QString &source, const QString &cible, InitReport &report)
{
    // Whether the kiosk would refuse the library; if so, the report says why and what to do.
    const auto refusee = [&](const QString &chemin) {
        if (Machine::controleDemande() != Machine::ControleProvenance::DossierRoot)
            return false;
        const Machine::ProvenanceBibliotheque p = Machine::examinerProvenance(chemin);
        if (!p.sure())
            report.fail(QStringLiteral("erreur: bibliothèque du mécanisme refusée: %1: l'installer "
                                       "en root dans un dossier de root, par exemple "
                                       "/usr/local/lib/movendi/, puis « movendi-admin init "
                                       "--production %2 --automate CHEMIN »")
                            .arg(p.refus, QFileInfo(cible).path()));
        return !p.sure();
    };
    if (source.isNull()) {
        if (!refusee(cible))
            report.lines.append(QStringLiteral("gardé: %1").arg(cible));
        return;
    }
    const QString absolue = QFileInfo(source).absoluteFilePath();
    if (!QFileInfo(absolue).isFile()) {
        report.fail(
            QStringLiteral("erreur: bibliothèque du mécanisme introuvable: %1").arg(absolue));
        return;
    }
    if (refusee(absolue))
        return;
    if (QFileInfo(cible).isSymLink() && QFileInfo(cible).symLinkTarget() == absolue) {
        report.lines.append(QStringLiteral("gardé: %1 -> %2").arg(cible, absolue));
        return;
    }
    // Made aside and renamed over the old one: a kiosk starting meanwhile finds one or the other.
    const QString provisoire = cible + QStringLiteral(".lien");
    QFile::remove(provisoire);
    const QByteArray de = QFile::encodeName(provisoire);
    if (::symlink(QFile::encodeName(absolue).constData(), de.constData()) != 0 ||
        ::rename(de.constData(), QFile::encodeName(cible).constData()) != 0) {
        QFile::remove(provisoire);
        report.fail(QStringLiteral("erreur: lien de %1 vers %2 impossible").arg(cible, absolue));
        return;
    }
    report.lines.append(QStringLiteral("lié: %1 -> %2").arg(cible, absolue));
}

} // namespace

InitReport initialiserDossier(const QString &dossier, const QString &bibliothequeAutomate,
                              ContenuDossier contenu)
{
    const bool demo = contenu == ContenuDossier::Demo;
    InitReport report;
    QDir dir(dossier);
    if (!dir.mkpath(QStringLiteral("epi"))) {
        report.fail(QStringLiteral("erreur: impossible de créer le dossier %1").arg(dossier));
        return report;
    }
    // What staff may have changed or what holds records is kept; only missing pieces are made.
    auto creerSiAbsent = [&](const QString &relatif,
                             const std::function<bool(const QString &, QString *)> &creer) {
        const QFileInfo info(dir.filePath(relatif));
        if (Platform::findFileNoCase(info.path(), info.fileName())) {
            report.lines.append(
                QStringLiteral("gardé: %1").arg(Platform::resolvePathNoCase(info.filePath())));
            return;
        }
        QString erreur;
        if (creer(info.filePath(), &erreur))
            report.lines.append(QStringLiteral("créé: %1").arg(info.filePath()));
        else
            report.fail(QStringLiteral("erreur: %1: %2").arg(info.filePath(), erreur));
    };
    auto depuisDonnee = [](const QString &nom) {
        return [nom](const QString &chemin, QString *erreur) {
            return ecrireFichier(chemin, donnee(nom), erreur);
        };
    };

    if (demo) {
        creerSiAbsent(QStringLiteral("RURUDIZ.ini"), [&](const QString &chemin, QString *erreur) {
            if (!ecrireFichier(chemin, donnee(QStringLiteral("RURUDIZ.ini")), erreur,
                               DroitsConfiguration))
                return false;
            // Serial lines of a laid-out folder stay inside it until staff point them at the
            // real devices, so that no demo or test ever opens a port of the machine it runs on.
            for (int port = 1; port <= PortsSimules; ++port) {
                if (!Platform::writeProfileString(
                        chemin, QStringLiteral("PortCom"), QStringLiteral("Port%1").arg(port),
                        dir.filePath(QStringLiteral("dev/com%1").arg(port)), erreur))
                    return false;
            }
            return true;
        });
    } else {
        creerSiAbsent(QStringLiteral("RURUDIZ.ini"), [&](const QString &chemin, QString *erreur) {
            // The devices stay to be filled in (A_RENSEIGNER); the identity is the machine's.
            const QString hote = QSysInfo::machineHostName();
            return ecrireFichier(chemin, donnee(QStringLiteral("RURUDIZ-production.ini")), erreur,
                                 DroitsConfiguration) &&
                   Platform::writeProfileString(
                       chemin, QStringLiteral("Machine"), QStringLiteral("Indentité Machine"),
                       hote.isEmpty() ? QStringLiteral("KIOSQUE") : hote, erreur);
        });
    }
    creerSiAbsent(QStringLiteral("French.lng"), depuisDonnee(QStringLiteral("French.lng")));
    creerSiAbsent(QStringLiteral("English.lng"), depuisDonnee(QStringLiteral("English.lng")));
    creerSiAbsent(QStringLiteral("MAINTEN.db"), creerJournal);
    creerSiAbsent(QStringLiteral("epi/porte.ini"), [](const QString &chemin, QString *erreur) {
        return Platform::writeProfileString(chemin, QStringLiteral("Porte"),
                                            QStringLiteral("Ouverte"), QStringLiteral("NON"),
                                            erreur);
    });
    const QString nomBase =
        Platform::readProfileString(dir.filePath(QStringLiteral("RURUDIZ.ini")),
                                    QStringLiteral("Base de donnée"), QStringLiteral("Nom"))
            .value;
    const QString fichierBase =
        (nomBase.isEmpty() ? QStringLiteral("DBMovendi") : nomBase) + QStringLiteral(".db");
    const std::optional<QString> baseExistante = Platform::findFileNoCase(dir.path(), fichierBase);
    creerSiAbsent(fichierBase, [&](const QString &chemin, QString *erreur) {
        return demo ? creerMagasin(chemin, dir.filePath(QStringLiteral("image")), &report.lines,
                                   erreur)
                    : creerMagasinVide(chemin, &report.lines, erreur);
    });
    if (demo) {
        creerSiAbsent(QStringLiteral("ListeIMEI.xls"), ecrireListeLivraisonDemo);
        // After the store, whose catalogue pictures the film shows.
        creerSiAbsent(
            QStringLiteral("video/animation.avi"), [&](const QString &chemin, QString *erreur) {
                return ecrireFilmDemo(chemin, dir.filePath(QStringLiteral("image")), erreur);
            });
    } else if (!dir.mkpath(QStringLiteral("image"))) {
        report.fail(QStringLiteral("erreur: impossible de créer le dossier %1")
                        .arg(dir.filePath(QStringLiteral("image"))));
    }
    if (baseExistante) {
        QString erreur;
        if (!completerMagasin(dir.filePath(*baseExistante), &report.lines, &erreur))
            report.fail(QStringLiteral("erreur: %1: %2").arg(dir.filePath(*baseExistante), erreur));
    }

    const QString cible = dir.filePath(QStringLiteral("libgrafcet.so"));
    if (demo)
        copierBibliotheque(bibliothequeAutomate, cible, report);
    else
        lierBibliotheque(bibliothequeAutomate, cible, report);
    return report;
}

bool completerMagasin(const QString &chemin, QStringList *compteRendu, QString *erreur)
{
    // Columns added to tables of the first stores, with their definitions in schema.sql.
    struct Colonne
    {
        const char *table;
        const char *nom;
        const char *definition;
    };
    static const Colonne ajoutees[] = {
        {"Ventes", "StatutDebit", "INTEGER NOT NULL DEFAULT 0 CHECK (StatutDebit IN (0, 1, 2))"},
        {"Ventes", "Reprise", "INTEGER NOT NULL DEFAULT 0"},
        {"FichierTransfer", "Echecs", "INTEGER NOT NULL DEFAULT 0"},
        {"FichierTransfer", "MisDeCote", "INTEGER NOT NULL DEFAULT 0"},
        {"FichierTransfer", "Motif", "TEXT"},
        {"AuditStock", "Personnel", "TEXT"},
    };
    try {
        Store::StoreDatabase base(chemin);
        base.debuterTransaction();
        // Views hold no rows: each is made again as this version defines it.
        const QString schema = QString::fromUtf8(donnee(QStringLiteral("schema.sql")));
        static const QRegularExpression vue(
            QStringLiteral("CREATE\\s+VIEW\\s+IF\\s+NOT\\s+EXISTS\\s+(\\w+)"),
            QRegularExpression::CaseInsensitiveOption);
        for (const QRegularExpressionMatch &m : vue.globalMatch(schema))
            base.executer(QStringLiteral("DROP VIEW IF EXISTS ") + m.captured(1));
        base.executerScript(schema);
        for (const Colonne &c : ajoutees) {
            const Store::ResultatRequete colonnes =
                base.lire(QStringLiteral("SELECT name FROM pragma_table_info(?) WHERE name = ?"),
                          {QString::fromLatin1(c.table), QString::fromLatin1(c.nom)});
            if (!colonnes.estVide())
                continue;
            base.executer(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                              .arg(QLatin1String(c.table), QLatin1String(c.nom),
                                   QLatin1String(c.definition)));
            compteRendu->append(
                QStringLiteral("ajouté: %1.%2").arg(QLatin1String(c.table), QLatin1String(c.nom)));
        }
        base.valider();
        return true;
    } catch (const Journal::ErreurExecution &e) {
        *erreur = e.description();
        return false;
    }
}

bool creerMagasin(const QString &chemin, const QString &dossierImages, QStringList *compteRendu,
                  QString *erreur)
{
    const QString schema = QString::fromUtf8(donnee(QStringLiteral("schema.sql")));
    try {
        {
            Store::StoreDatabase base(chemin, true);
            base.debuterTransaction();
            base.executerScript(schema);
            base.valider();
            remplirCatalogueDemo(base, dossierImages, compteRendu);
        }
        return true;
    } catch (const Journal::ErreurExecution &e) {
        *erreur = e.description();
        QFile::remove(chemin); // a half-made store would be kept by the next init
        QFile::remove(chemin + QStringLiteral("-wal"));
        QFile::remove(chemin + QStringLiteral("-shm"));
        return false;
    }
}

bool creerMagasinVide(const QString &chemin, QStringList *compteRendu, QString *erreur)
{
    const QString schema = QString::fromUtf8(donnee(QStringLiteral("schema.sql")));
    try {
        {
            Store::StoreDatabase base(chemin, true);
            base.debuterTransaction();
            base.executerScript(schema);
            creerEmplacementsTambour(base);
            base.valider();
        }
        compteRendu->append(QStringLiteral("base vide: tambour de %1 emplacements libres")
                                .arg(ColonnesTambour * EtagesTambour));
        return true;
    } catch (const Journal::ErreurExecution &e) {
        *erreur = e.description();
        QFile::remove(chemin);
        QFile::remove(chemin + QStringLiteral("-wal"));
        QFile::remove(chemin + QStringLiteral("-shm"));
        return false;
    }
}

void creerEmplacementsTambour(Store::StoreDatabase &base)
{
    for (int colonne = 1; colonne <= ColonnesTambour; ++colonne) {
        for (int etage = 1; etage <= EtagesTambour; ++etage)
            base.executer(QStringLiteral("INSERT INTO EmplacementsMachine1 (NoEmpl, Colonne, "
                                         "Etage) VALUES (?, ?, ?)"),
                          {(colonne - 1) * EtagesTambour + etage, colonne, etage});
    }
}

QStringList objetsDuSchema()
{
    static const QRegularExpression objet(
        QStringLiteral("CREATE\\s+(?:TABLE|VIEW)\\s+IF\\s+NOT\\s+EXISTS\\s+(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList noms;
    const QString schema = QString::fromUtf8(donnee(QStringLiteral("schema.sql")));
    for (const QRegularExpressionMatch &m : objet.globalMatch(schema))
        noms.append(m.captured(1));
    return noms;
}

} // namespace Movendi::Admin
