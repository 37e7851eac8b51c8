#include "commandejournal.h"

#include "argumentscommande.h"

#include "journal/journal.h"
#include "platform/filelookup.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <sqlite3.h>

namespace Movendi::Admin {

namespace {

constexpr int AttenteJournalMs = 2000;

QString colonne(sqlite3_stmt *ligne, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(ligne, i)));
}

void lierJour(sqlite3_stmt *requete, int position, const QDate &jour)
{
    if (!jour.isValid()) {
        sqlite3_bind_null(requete, position);
        return;
    }
    const QByteArray texte = jour.toString(Qt::ISODate).toUtf8();
    sqlite3_bind_text(requete, position, texte.constData(), int(texte.size()), SQLITE_TRANSIENT);
}

} // namespace

QString sansControles(QString texte)
{
    for (QChar &c : texte) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('.');
    }
    return texte;
}

bool lireLignesJournal(const QString &chemin, const FiltreJournal &filtre,
                       QList<LigneJournal> *lignes, qsizetype *correspondantes, QString *erreur)
{
    lignes->clear();
    *correspondantes = 0;
    sqlite3 *db = nullptr;
    sqlite3_stmt *requete = nullptr;
    // Newest first, so that the count keeps the latest; the days bound the moment as text, which
    // sorts as the moment does.
    const char *sql = "SELECT DateErreur, Contexte, Erreur FROM Erreurs "
                      "WHERE (?1 IS NULL OR DateErreur >= ?1) AND (?2 IS NULL OR DateErreur < ?2) "
                      "ORDER BY rowid DESC";
    bool ok = sqlite3_open_v2(QFile::encodeName(chemin).constData(), &db, SQLITE_OPEN_READONLY,
                              nullptr) == SQLITE_OK;
    if (ok) {
        // The kiosk may be writing a row: wait for it rather than fail.
        sqlite3_busy_timeout(db, AttenteJournalMs);
        ok = sqlite3_prepare_v2(db, sql, -1, &requete, nullptr) == SQLITE_OK;
    }
    if (ok) {
        lierJour(requete, 1, filtre.depuis);
        lierJour(requete, 2, filtre.jusquAu.isValid() ? filtre.jusquAu.addDays(1) : QDate());
        int pas = SQLITE_ROW;
        while ((pas = sqlite3_step(requete)) == SQLITE_ROW) {
            const QString contexte = colonne(requete, 1);
            if (!filtre.contexte.isEmpty() &&
                contexte.compare(filtre.contexte, Qt::CaseInsensitive) != 0)
                continue;
            ++*correspondantes;
            if (filtre.nombre <= 0 || lignes->size() < filtre.nombre)
                lignes->prepend({colonne(requete, 0), contexte, colonne(requete, 2)});
        }
        ok = pas == SQLITE_DONE;
    }
    if (!ok)
        *erreur = QStringLiteral("%1: %2").arg(chemin, QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_finalize(requete);
    sqlite3_close(db);
    return ok;
}

QStringList lireJournal(const QString &dossier, QString *erreur, const FiltreJournal &filtre,
                        qsizetype *correspondantes)
{
    QStringList rows;
    const auto nom = Platform::findFileNoCase(dossier, QLatin1String(Journal::NomJournal));
    if (!nom) {
        *erreur = QStringLiteral("pas de journal %1 dans %2")
                      .arg(QLatin1String(Journal::NomJournal), dossier);
        return rows;
    }
    QList<LigneJournal> lignes;
    qsizetype toutes = 0;
    if (!lireLignesJournal(QDir(dossier).filePath(*nom), filtre, &lignes, &toutes, erreur))
        return rows;
    if (correspondantes)
        *correspondantes = toutes;
    for (const LigneJournal &l : lignes)
        rows.append(
            sansControles(QStringLiteral("%1 | %2 | %3").arg(l.date, l.contexte, l.erreur)));
    return rows;
}

namespace {

int executer(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString contexte = QStringLiteral("--contexte"), depuis = QStringLiteral("--depuis"),
                  jusquAu = QStringLiteral("--jusqu-au"), nombre = QStringLiteral("--nombre");
    const ArgumentsCommande a(arguments, {contexte, depuis, jusquAu, nombre}, {}, 1, 1);
    if (!a.valides(err))
        return ErreurUsage;
    FiltreJournal filtre;
    filtre.contexte = a.option(contexte).trimmed();
    filtre.nombre = LignesJournalParDefaut;
    for (const auto &[option, jour] :
         {std::pair{depuis, &filtre.depuis}, std::pair{jusquAu, &filtre.jusquAu}}) {
        if (!a.presente(option))
            continue;
        const std::optional<QDate> lu = lireJour(a.option(option));
        if (!lu) {
            err << "erreur: " << option << " attend une date JJ/MM/AAAA\n";
            return ErreurUsage;
        }
        *jour = *lu;
    }
    if (filtre.depuis.isValid() && filtre.jusquAu.isValid() && filtre.jusquAu < filtre.depuis) {
        err << "erreur: --jusqu-au est avant --depuis\n";
        return ErreurUsage;
    }
    if (a.presente(nombre)) {
        bool ok = false;
        filtre.nombre = a.option(nombre).toInt(&ok);
        if (!ok || filtre.nombre < 1) {
            err << "erreur: --nombre attend un nombre de lignes positif\n";
            return ErreurUsage;
        }
    }

    QString erreur;
    qsizetype correspondantes = 0;
    const QStringList lignes = lireJournal(a.dossier(), &erreur, filtre, &correspondantes);
    if (!erreur.isEmpty()) {
        err << "erreur: " << erreur << '\n';
        return Echec;
    }
    if (correspondantes > lignes.size())
        out << "(" << lignes.size() << " dernières lignes sur " << correspondantes
            << "; --nombre N pour en voir plus)\n";
    for (const QString &l : lignes)
        out << l << '\n';
    if (lignes.isEmpty()) {
        const bool filtree = a.presente(contexte) || a.presente(depuis) || a.presente(jusquAu);
        out << (filtree ? "(aucune ligne ne correspond)\n" : "(journal vide)\n");
    }
    return Reussite;
}

} // namespace

const Commande CommandeJournal = {
    "journal",
    "journal DOSSIER [--contexte TEXTE] [--depuis JJ/MM/AAAA] [--jusqu-au JJ/MM/AAAA] "
    "[--nombre N]",
    "affiche les dernières lignes du journal des erreurs",
    "Affiche les lignes du journal des erreurs du kiosque (MAINTEN.db, table Erreurs), la plus\n"
    "récente en dernier, une ligne par erreur: « date | contexte | erreur » (les caractères de\n"
    "contrôle sont montrés par des points). Par défaut les 50 dernières; quand il y en a plus,\n"
    "une première ligne entre parenthèses le dit. Le journal est lu sans être modifié.\n"
    "\n"
    "Options:\n"
    "  --contexte TEXTE        seulement ce contexte (la routine qui a écrit la ligne, par\n"
    "                          exemple « Reprise vente »), sans tenir compte de la casse\n"
    "  --depuis JJ/MM/AAAA     seulement à partir de ce jour\n"
    "  --jusqu-au JJ/MM/AAAA   seulement jusqu'à ce jour inclus\n"
    "  --nombre N              les N dernières lignes (50 par défaut)\n"
    "\n"
    "Statut: 0 journal lu (même vide), 1 pas de journal MAINTEN.db ou journal illisible, 64\n"
    "usage.\n",
    executer,
};

} // namespace Movendi::Admin
