#include "journaltemporaire.h"

#include "dossierapplication.h"

#include "state/etatdemarrage.h"

#include <QFile>
#include <QTextStream>

#include <sqlite3.h>

namespace Movendi::Admin {

namespace {

// The terminal's control characters would garble the technician's console.
QString withoutControls(QString text)
{
    for (QChar &c : text) {
        if (c.unicode() < 0x20)
            c = QLatin1Char('.');
    }
    return text;
}

QString column(sqlite3_stmt *row, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, i)));
}

} // namespace

JournalTemporaire::JournalTemporaire() : m_cheminPrecedent(Startup::etat().CheminJournal)
{
    if (!m_dossier.isValid()) {
        m_erreur = m_dossier.errorString();
        return;
    }
    m_ouvert = creerJournal(m_dossier.filePath(QStringLiteral("MAINTEN.db")), &m_erreur);
    if (m_ouvert)
        Startup::etat().CheminJournal = m_dossier.path();
}

JournalTemporaire::~JournalTemporaire()
{
    Startup::etat().CheminJournal = m_cheminPrecedent;
}

void JournalTemporaire::imprimer(QTextStream &out) const
{
    const QByteArray chemin = QFile::encodeName(m_dossier.filePath(QStringLiteral("MAINTEN.db")));
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(chemin.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *rows = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT Contexte, Erreur FROM Erreurs ORDER BY rowid", -1, &rows,
                               nullptr) == SQLITE_OK) {
            while (sqlite3_step(rows) == SQLITE_ROW)
                out << "journal: " << column(rows, 0) << ": " << withoutControls(column(rows, 1))
                    << '\n';
        }
        sqlite3_finalize(rows);
    }
    sqlite3_close(db);
}

} // namespace Movendi::Admin
