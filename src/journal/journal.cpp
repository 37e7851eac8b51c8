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

namespace Movendi::Startup {

void JournaliserErreur(const QString &contexte, const QString &erreur)
{
    if (etat().CheminJournal.isEmpty())
        etat().CheminJournal = DossierApplication();
    const auto nom = Platform::findFileNoCase(etat().CheminJournal, QLatin1String(NomJournal));
    if (!nom)
        return;
    const QByteArray chemin = QFile::encodeName(QDir(etat().CheminJournal).filePath(*nom));

    sqlite3 *db = nullptr;
    // Never SQLITE_OPEN_CREATE: the kiosk does not make the journal.
    if (sqlite3_open_v2(chemin.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    sqlite3_busy_timeout(db, DelaiVerrouJournalMs);
    sqlite3_stmt *insert = nullptr;
    if (sqlite3_prepare_v2(db,
                           "INSERT INTO Erreurs (DateErreur, Contexte, Erreur) VALUES (?, ?, ?)",
                           -1, &insert, nullptr) == SQLITE_OK) {
        const QByteArray date =
            Platform::clock().now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        const QByteArray ctx = contexte.toUtf8();
        const QByteArray text = erreur.toUtf8();
        sqlite3_bind_text(insert, 1, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, ctx.constData(), int(ctx.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
}

void SignalerErreur(const QString &contexte, const ErreurExecution &erreur)
{
    JournaliserErreur(contexte,
                      QStringLiteral("N°: %1 %2").arg(erreur.numero()).arg(erreur.description()));
}

} // namespace Movendi::Startup
