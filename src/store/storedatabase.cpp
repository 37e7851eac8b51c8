#include "store/storedatabase.h"

#include "config/clesconfiguration.h"
#include "journal/erreur.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/seams.h"
#include "platform/watchdog.h"
#include "state/etatdemarrage.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

#include <sqlite3.h>

#include <memory>

namespace Movendi::Store {

namespace {

QString nouveauNomConnexion()
{
    static QAtomicInteger<quint64> compteur;
    return QStringLiteral("magasin-%1").arg(++compteur);
}

// SQLite's own busy handler sleeps in the kernel: this one waits on the installed clock and
// keeps the service manager's watchdog fed, up to the store's busy time-out.
int attendreVerrou(void *debut, int essai)
{
    qint64 &depuis = *static_cast<qint64 *>(debut);
    Platform::Clock &horloge = Platform::clock();
    if (essai == 0)
        depuis = horloge.monotonicMs();
    if (horloge.monotonicMs() - depuis >= StoreDatabase::DelaiVerrouMs)
        return 0;
    Platform::feedWatchdog();
    horloge.sleepMs(qMin(5 << qMin(essai, 4), 50));
    return 1;
}

const QString formatMoment = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString formatJour = QStringLiteral("yyyy-MM-dd");

} // namespace

QVariant ResultatRequete::valeur(qsizetype ligne, const QString &colonne) const
{
    for (qsizetype c = 0; c < colonnes.size(); ++c) {
        if (colonnes.at(c).compare(colonne, Qt::CaseInsensitive) == 0)
            return ligne < lignes.size() ? lignes.at(ligne).value(c) : QVariant();
    }
    return {};
}

QDateTime dateRapport(const QString &texte)
{
    const QString t = texte.trimmed();
    QDateTime moment = QDateTime::fromString(t, QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    if (!moment.isValid())
        moment = QDateTime(QDate::fromString(t, QStringLiteral("dd/MM/yyyy")), QTime(0, 0));
    return moment;
}

StoreDatabase::StoreDatabase() : m_connexion(nouveauNomConnexion())
{
    const State::EtatDemarrage &e = State::etat();
    const QString ini = e.CheminIni.isEmpty()
                            ? QDir(e.dossierApplication).filePath(QStringLiteral("RURUDIZ.ini"))
                            : e.CheminIni;
    const QString moteur =
        Config::lireCle(ini, QStringLiteral("Base de donnée"), QStringLiteral("Moteur"));
    if (moteur.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) != 0)
        echec(ErreurOuverture, QStringLiteral("moteur de base non pris en charge"), moteur);
    const QString nom = e.NomBase + QStringLiteral(".db");
    const auto trouve = Platform::findFileNoCase(e.dossierApplication, nom);
    if (!trouve)
        echec(ErreurOuverture, QStringLiteral("base introuvable"),
              QDir(e.dossierApplication).filePath(nom));
    ouvrir(QDir(e.dossierApplication).filePath(*trouve));
}

StoreDatabase::StoreDatabase(const QString &fichier, bool creer)
    : m_connexion(nouveauNomConnexion())
{
    if (!creer && !QFileInfo(fichier).isFile())
        echec(ErreurOuverture, QStringLiteral("base introuvable"), fichier);
    ouvrir(fichier);
}

StoreDatabase::~StoreDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connexion, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connexion);
}

void StoreDatabase::ouvrir(const QString &fichier)
{
    m_fichier = fichier;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connexion);
    db.setDatabaseName(fichier);
    if (!db.open())
        echec(ErreurOuverture, QStringLiteral("ouverture de la base impossible"),
              db.lastError().text());
    // A staff tool or a backup holding the write lock must not make a sale fail at once.
    if (sqlite3 *handle = poignee())
        sqlite3_busy_handler(handle, attendreVerrou, &m_debutAttente);
    // Sales are money: every commit reaches the disk before the customer is told.
    for (const char *pragma :
         {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON"}) {
        QSqlQuery q(db);
        if (!q.exec(QLatin1String(pragma)))
            echec(ErreurOuverture, QStringLiteral("ouverture de la base impossible"),
                  q.lastError().text());
    }
}

sqlite3 *StoreDatabase::poignee() const
{
    const QVariant v = QSqlDatabase::database(m_connexion, false).driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(v.constData());
    return nullptr;
}

void StoreDatabase::parcourirBrut(const QString &sql,
                                  const std::function<void(const QStringList &)> &surColonnes,
                                  const std::function<void(const QList<ValeurBrute> &)> &surLigne)
{
    sqlite3 *db = poignee();
    if (!db)
        echec(ErreurRequete, QStringLiteral("requête refusée"), QStringLiteral("pas de base"));
    sqlite3_stmt *stmt = nullptr;
    const QByteArray texte = sql.toUtf8();
    if (sqlite3_prepare_v2(db, texte.constData(), int(texte.size()), &stmt, nullptr) != SQLITE_OK)
        echec(ErreurRequete, QStringLiteral("requête refusée"),
              QString::fromUtf8(sqlite3_errmsg(db)) + QStringLiteral(" [") + sql +
                  QLatin1Char(']'));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> garde(stmt, sqlite3_finalize);
    const int n = sqlite3_column_count(stmt);
    if (surColonnes) {
        QStringList colonnes;
        for (int c = 0; c < n; ++c)
            colonnes.append(QString::fromUtf8(sqlite3_column_name(stmt, c)));
        surColonnes(colonnes);
    }
    QList<ValeurBrute> ligne(n);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < n; ++c) {
            ValeurBrute &v = ligne[c];
            // The type first: asking for the text converts the value.
            const int type = sqlite3_column_type(stmt, c);
            if (type == SQLITE_NULL) {
                v = {};
            } else if (type == SQLITE_FLOAT) {
                v = {ValeurBrute::Genre::Reel, {}, sqlite3_column_double(stmt, c)};
            } else {
                const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                v = {type == SQLITE_INTEGER ? ValeurBrute::Genre::Entier
                                            : ValeurBrute::Genre::Texte,
                     QByteArrayView(t, sqlite3_column_bytes(stmt, c)), 0};
            }
        }
        surLigne(ligne);
    }
    if (rc != SQLITE_DONE)
        echec(ErreurRequete, QStringLiteral("requête interrompue"),
              QString::fromUtf8(sqlite3_errmsg(db)));
}

void StoreDatabase::echec(int numero, const QString &quoi, const QString &detail) const
{
    throw Journal::ErreurExecution(numero, QStringLiteral("%1: %2").arg(quoi, detail));
}

QSqlQuery StoreDatabase::lancer(const QString &sql, const QVariantList &parametres)
{
    QSqlQuery q(QSqlDatabase::database(m_connexion, false));
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    if (ok) {
        for (const QVariant &p : parametres)
            q.addBindValue(p);
        ok = q.exec();
    }
    if (!ok)
        echec(ErreurRequete, QStringLiteral("requête refusée"),
              q.lastError().text() + QStringLiteral(" [") + sql + QLatin1Char(']'));
    return q;
}

ResultatRequete StoreDatabase::lire(const QString &sql, const QVariantList &parametres)
{
    QSqlQuery q = lancer(sql, parametres);
    ResultatRequete resultat;
    const QSqlRecord record = q.record();
    for (int c = 0; c < record.count(); ++c)
        resultat.colonnes.append(record.fieldName(c));
    while (q.next()) {
        QVariantList ligne;
        ligne.reserve(record.count());
        for (int c = 0; c < record.count(); ++c)
            ligne.append(q.value(c));
        resultat.lignes.append(ligne);
    }
    if (q.lastError().isValid())
        echec(ErreurRequete, QStringLiteral("requête interrompue"), q.lastError().text());
    return resultat;
}

int StoreDatabase::executer(const QString &sql, const QVariantList &parametres)
{
    return lancer(sql, parametres).numRowsAffected();
}

qint64 StoreDatabase::inserer(const QString &sql, const QVariantList &parametres)
{
    return lancer(sql, parametres).lastInsertId().toLongLong();
}

void StoreDatabase::executerScript(const QString &script)
{
    // Statements end with ";" at the end of a line; comments start with "--".
    QString statement;
    for (const QString &line : script.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("--")) || trimmed.isEmpty())
            continue;
        statement += line + QLatin1Char('\n');
        if (trimmed.endsWith(QLatin1Char(';'))) {
            executer(statement.trimmed());
            statement.clear();
        }
    }
    if (!statement.trimmed().isEmpty())
        executer(statement.trimmed());
}

void StoreDatabase::debuterTransaction()
{
    executer(QStringLiteral("BEGIN IMMEDIATE"));
}

void StoreDatabase::valider()
{
    executer(QStringLiteral("COMMIT"));
}

void StoreDatabase::annuler()
{
    executer(QStringLiteral("ROLLBACK"));
}

ResultatRequete StoreDatabase::ControlVente(double jours, const QDateTime &maintenant)
{
    const QDateTime depuis = maintenant.addMSecs(qint64(-jours * 86400000.0));
    return lire(QStringLiteral("SELECT NumVente, LaDate FROM Ventes WHERE LaDate >= ? AND LaDate "
                               "<= ? ORDER BY NumVente"),
                {versBase(depuis), versBase(maintenant)});
}

ResultatRequete StoreDatabase::ControlVente(const QString &commande, const QDateTime &maintenant)
{
    const QString argument = commande.trimmed().section(QLatin1Char(' '), -1);
    bool ok = false;
    const double jours = argument.toDouble(&ok);
    if (!ok)
        echec(ErreurRequete, QStringLiteral("requête refusée"),
              QStringLiteral("argument de ControlVente: ") + argument);
    return ControlVente(jours, maintenant);
}

QVariantList StoreDatabase::periode(const QString &procedure, const QString &debut,
                                    const QString &fin) const
{
    const QDateTime de = dateRapport(debut);
    const QDateTime a = dateRapport(fin);
    if (!de.isValid() || !a.isValid())
        echec(ErreurRequete, QStringLiteral("requête refusée"),
              QStringLiteral("période de %1: %2 - %3").arg(procedure, debut, fin));
    return {versBase(de), versBase(a)};
}

void StoreDatabase::RapportCVSDetailVente(const QString &debut, const QString &fin)
{
    const QVariantList bornes = periode(QStringLiteral("RapportCVSDetailVente"), debut, fin);
    executer(QStringLiteral("DELETE FROM PeriodeRapport"));
    executer(QStringLiteral("INSERT INTO PeriodeRapport (Debut, Fin) VALUES (?, ?)"), bornes);
}

ResultatRequete StoreDatabase::RapportCVSDetailRecharge(const QString &debut, const QString &fin)
{
    return lire(QStringLiteral("SELECT * FROM ExportCSVrecharge WHERE LaDate >= ? AND LaDate <= ? "
                               "ORDER BY NumVente, Id"),
                periode(QStringLiteral("RapportCVSDetailRecharge"), debut, fin));
}

QVariant StoreDatabase::versBase(Money::Monnaie montant)
{
    return QVariant::fromValue<qlonglong>(montant.unites());
}

Money::Monnaie StoreDatabase::monnaie(const QVariant &valeur)
{
    return Money::Monnaie::depuisUnites(valeur.isNull() ? 0 : valeur.toLongLong());
}

QVariant StoreDatabase::versBase(const QDateTime &moment)
{
    return moment.isValid() ? QVariant(moment.toString(formatMoment))
                            : QVariant(QMetaType(QMetaType::QString));
}

QVariant StoreDatabase::jourVersBase(const QDate &jour)
{
    return jour.isValid() ? QVariant(jour.toString(formatJour))
                          : QVariant(QMetaType(QMetaType::QString));
}

namespace {

// "yyyy-MM-dd HH:mm:ss" read field by field: the exports read one per row, and the general
// parser costs more than the rest of the row. Anything else is left to the general parser.
QDateTime momentRapide(const QString &t)
{
    if (t.size() != 19 || t[4] != u'-' || t[7] != u'-' || t[10] != u' ' || t[13] != u':' ||
        t[16] != u':')
        return {};
    const auto champ = [&t](int debut, int longueur) {
        int n = 0;
        for (int i = debut; i < debut + longueur; ++i) {
            if (t[i].unicode() < '0' || t[i].unicode() > '9')
                return -1;
            n = n * 10 + (t[i].unicode() - '0');
        }
        return n;
    };
    const int a = champ(0, 4), mo = champ(5, 2), j = champ(8, 2);
    const int h = champ(11, 2), mi = champ(14, 2), s = champ(17, 2);
    // QDate takes negative years (before Christ): a field that is not digits is no year.
    if (std::min({a, mo, j, h, mi, s}) < 0)
        return {};
    const QDate jour(a, mo, j);
    const QTime heure(h, mi, s);
    if (!jour.isValid() || !heure.isValid())
        return {};
    const QDateTime moment(jour, heure);
    // A local time the clocks skipped is the general parser's to judge.
    return moment.time() == heure ? moment : QDateTime();
}

} // namespace

QDateTime StoreDatabase::momentDepuisBase(const QVariant &valeur)
{
    const QString texte = valeur.toString();
    if (QDateTime rapide = momentRapide(texte); rapide.isValid())
        return rapide;
    QDateTime moment = QDateTime::fromString(texte, formatMoment);
    if (!moment.isValid())
        moment = QDateTime(QDate::fromString(texte, formatJour), QTime(0, 0));
    return moment;
}

} // namespace Movendi::Store
