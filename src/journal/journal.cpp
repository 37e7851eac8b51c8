#include "journal/journal.h"

#include "journal/erreur.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"
#include "utilities/fonctionutilitaires.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>
#include <syslog.h>

#include <utility>

namespace Movendi::Journal {

namespace {

// The journal's file, opened for writing; null with the reason when it cannot be.
sqlite3 *ouvrirJournal(QString *raison)
{
    if (State::etat().CheminJournal.isEmpty())
        State::etat().CheminJournal = Utilities::DossierApplication();
    const auto nom =
        Platform::findFileNoCase(State::etat().CheminJournal, QLatin1String(NomJournal));
    if (!nom) {
        *raison = QStringLiteral("journal absent: ") +
                  QDir(State::etat().CheminJournal).filePath(QLatin1String(NomJournal));
        return nullptr;
    }
    const QByteArray chemin = QFile::encodeName(QDir(State::etat().CheminJournal).filePath(*nom));
    sqlite3 *db = nullptr;
    // Never SQLITE_OPEN_CREATE: the kiosk does not make the journal.
    if (sqlite3_open_v2(chemin.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        *raison = QString::fromUtf8(db ? sqlite3_errmsg(db) : "mémoire insuffisante");
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, DelaiVerrouJournalMs);
    return db;
}

QString erreurJournal(sqlite3 *db, int code)
{
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(sqlite3_errmsg(db))).arg(code);
}

// One row of Erreurs; false with the reason when the journal refused it.
bool inserer(sqlite3 *db, const QString &contexte, const QString &erreur, QString *raison)
{
    sqlite3_stmt *insert = nullptr;
    int rc = sqlite3_prepare_v2(
        db, "INSERT INTO Erreurs (DateErreur, Contexte, Erreur) VALUES (?, ?, ?)", -1, &insert,
        nullptr);
    if (rc == SQLITE_OK) {
        const QByteArray date =
            Platform::clock().now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        const QByteArray ctx = contexte.toUtf8();
        const QByteArray text = erreur.toUtf8();
        sqlite3_bind_text(insert, 1, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, ctx.constData(), int(ctx.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(insert);
    }
    const bool ecrit = rc == SQLITE_DONE;
    if (!ecrit)
        *raison = erreurJournal(db, rc);
    sqlite3_finalize(insert);
    return ecrit;
}

ObservateurJournal &observateur()
{
    static ObservateurJournal o;
    return o;
}

} // namespace

ObservateurJournal observerJournal(ObservateurJournal nouveau)
{
    return std::exchange(observateur(), std::move(nouveau));
}

std::optional<qint64> erreursDepuis(const QDateTime &depuis)
{
    QString raison;
    sqlite3 *db = ouvrirJournal(&raison);
    if (!db)
        return std::nullopt;
    std::optional<qint64> n;
    sqlite3_stmt *compte = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM Erreurs WHERE DateErreur >= ?", -1, &compte,
                           nullptr) == SQLITE_OK) {
        const QByteArray date = depuis.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        sqlite3_bind_text(compte, 1, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(compte) == SQLITE_ROW)
            n = sqlite3_column_int64(compte, 0);
    }
    sqlite3_finalize(compte);
    sqlite3_close(db);
    return n;
}

bool JournaliserErreur(const QString &contexte, const QString &erreur)
{
    QString raison;
    sqlite3 *db = ouvrirJournal(&raison);
    const bool ecrit = db && inserer(db, contexte, erreur, &raison);
    sqlite3_close(db);
    if (!ecrit)
        journalSysteme(
            QStringLiteral("%1: %2 [journal d'erreurs: %3]").arg(contexte, erreur, raison));
    static bool dansObservateur = false;
    if (observateur() && !dansObservateur) {
        dansObservateur = true;
        observateur()(contexte, erreur);
        dansObservateur = false;
    }
    return ecrit;
}

bool journalPresent()
{
    if (State::etat().CheminJournal.isEmpty())
        State::etat().CheminJournal = Utilities::DossierApplication();
    return Platform::findFileNoCase(State::etat().CheminJournal, QLatin1String(NomJournal))
        .has_value();
}

bool journalInscriptible(QString *raison)
{
    QString pourquoi;
    sqlite3 *db = ouvrirJournal(&pourquoi);
    bool ok = false;
    if (db) {
        int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            ok = inserer(db, QStringLiteral("verification"), QString(), &pourquoi);
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        } else {
            pourquoi = erreurJournal(db, rc);
        }
    }
    sqlite3_close(db);
    if (raison)
        *raison = pourquoi;
    return ok;
}

void journalSysteme(const QString &texte)
{
    static const bool ouvert = [] {
        ::openlog("movendi", LOG_PID, LOG_USER);
        return true;
    }();
    Q_UNUSED(ouvert);
    ::syslog(LOG_ERR, "%s", texte.toUtf8().constData());
}

void SignalerErreur(const QString &contexte, const ErreurExecution &erreur)
{
    JournaliserErreur(contexte,
                      QStringLiteral("N°: %1 %2").arg(erreur.numero()).arg(erreur.description()));
}

} // namespace Movendi::Journal
