#include "kiosktest.h"

#include "dossierapplication.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "startup/demarrage.h"
#include "state/etatdemarrage.h"

#include <QDir>
#include <QFile>
#include <QTime>

#include <sqlite3.h>

namespace Movendi::Test {

void KioskTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    // Kept for the search for card numbers in clear that follows the suite.
    if (qEnvironmentVariableIsSet("MOVENDI_GARDER_SORTIES"))
        m_dir.setAutoRemove(false);
    State::etat().dossierApplication = m_dir.path();
    State::reinitialiserEtat();
}

void KioskTest::TearDown()
{
    State::reinitialiserEtat();
}

void KioskTest::writeFile(const QString &name, const QByteArray &content) const
{
    QFile file(path(name));
    QDir().mkpath(QFileInfo(file).path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray KioskTest::readFile(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void KioskTest::layOutApplicationFolder() const
{
    const Admin::InitReport report = Admin::initialiserDossier(folder(), simulatorLibraryPath());
    ASSERT_TRUE(report.ok) << report.lines.join(QLatin1Char('\n')).toStdString();
}

QStringList KioskTest::journal(const QString &contexte) const
{
    QStringList textes;
    for (const JournalRow &row : journalRows()) {
        if (row.contexte == contexte)
            textes << row.erreur;
    }
    return textes;
}

void KioskTest::useApplicationFolder(bool lire) const
{
    layOutApplicationFolder();
    State::EtatDemarrage &e = State::etat();
    e.CheminIni = path(QStringLiteral("RURUDIZ.ini"));
    e.CheminImages = path(QStringLiteral("image/"));
    if (lire)
        Startup::LireConfiguration();
}

void KioskTest::useExchangeFolder() const
{
    State::etat().cheminEpi = path(QStringLiteral("epi"));
    qputenv("MOVENDI_EPI", QFile::encodeName(State::etat().cheminEpi));
}

void eloignerNuit(const QString &cheminIni)
{
    const int heure = (QTime::currentTime().hour() + 12) % 24;
    const QString section = QStringLiteral("Télécollecte");
    ASSERT_TRUE(
        Platform::writeProfileString(cheminIni, section, QStringLiteral("Debut"),
                                     QStringLiteral("%1:00").arg(heure, 2, 10, QLatin1Char('0'))));
    ASSERT_TRUE(
        Platform::writeProfileString(cheminIni, section, QStringLiteral("Fin"),
                                     QStringLiteral("%1:15").arg(heure, 2, 10, QLatin1Char('0'))));
}

void KioskTest::createJournal() const
{
    QString error;
    ASSERT_TRUE(Admin::creerJournal(path(QStringLiteral("MAINTEN.db")), &error))
        << error.toStdString();
}

QList<JournalRow> KioskTest::journalRows() const
{
    QList<JournalRow> rows;
    sqlite3 *db = nullptr;
    sqlite3_stmt *query = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path(QStringLiteral("MAINTEN.db"))).constData(), &db,
                        SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT DateErreur, Contexte, Erreur FROM Erreurs ORDER BY rowid",
                           -1, &query, nullptr) == SQLITE_OK) {
        auto text = [&](int c) {
            return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(query, c)));
        };
        while (sqlite3_step(query) == SQLITE_ROW)
            rows.append({text(0), text(1), text(2)});
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
    return rows;
}

void sansControleFuitesFilm(QProcessEnvironment &env)
{
    const QString options = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               options + (options.isEmpty() ? QString() : QStringLiteral(":")) +
                   QStringLiteral("detect_leaks=0"));
}

QString binaryPath(const char *name)
{
    return QStringLiteral(MOVENDI_BINARY_DIR "/") + QLatin1String(name);
}

QString simulatorLibraryPath()
{
    return binaryPath("libgrafcet.so");
}

} // namespace Movendi::Test
