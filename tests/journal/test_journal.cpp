#include "journal/erreur.h"
#include "journal/journal.h"
#include "kiosktest.h"
#include "state/etatdemarrage.h"

#include <QDir>
#include <QElapsedTimer>

#include <sqlite3.h>

using namespace Movendi::Journal;
using namespace Movendi::State;

namespace {

class JournalTest : public Movendi::Test::KioskTest
{
};

TEST_F(JournalTest, NoJournalFile_ChangesNothingOnDisk)
{
    JournaliserErreur(QStringLiteral("Main"), QStringLiteral("rien"));
    SignalerErreur(QStringLiteral("Main"), Erreurs::depassement());
    EXPECT_TRUE(
        QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

TEST_F(JournalTest, Record_TextWithQuotesAndLineBreaks_StoredUnchanged)
{
    createJournal();
    const QString text = QStringLiteral("l'article \"X\"; DROP TABLE Erreurs;--\r\nligne 2\n\tfin");
    JournaliserErreur(QStringLiteral("EnregistrerCommande"), text);
    JournaliserErreur(QStringLiteral("EnregistrerCommande"), QStringLiteral("seconde"));
    const auto rows = journalRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).erreur, text);
    EXPECT_EQ(rows.at(0).contexte, QStringLiteral("EnregistrerCommande"));
    EXPECT_EQ(rows.at(0).date, QStringLiteral("2026-12-08 10:00:00"));
    EXPECT_EQ(rows.at(1).date, rows.at(0).date);
}

TEST_F(JournalTest, SignalerErreur_NumberAndDescription)
{
    createJournal();
    SignalerErreur(QStringLiteral("EnregistrerTelecollecte"),
                   ErreurExecution(3343, QStringLiteral("Base inaccessible")));
    const auto rows = journalRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).erreur, QStringLiteral("N°: 3343 Base inaccessible"));
}

TEST_F(JournalTest, CheminJournal_SetOnceThenKept)
{
    createJournal();
    JournaliserErreur(QStringLiteral("A"), QStringLiteral("1"));
    EXPECT_EQ(etat().CheminJournal, folder() + QLatin1Char('/'));
    etat().dossierApplication = path(QStringLiteral("ailleurs"));
    JournaliserErreur(QStringLiteral("B"), QStringLiteral("2"));
    EXPECT_EQ(journalRows().size(), 2);
}

TEST_F(JournalTest, JournalNameInOtherCase_IsStillWritten)
{
    createJournal();
    ASSERT_TRUE(
        QFile::rename(path(QStringLiteral("MAINTEN.db")), path(QStringLiteral("mainten.DB"))));
    JournaliserErreur(QStringLiteral("A"), QStringLiteral("1"));
    ASSERT_TRUE(
        QFile::rename(path(QStringLiteral("mainten.DB")), path(QStringLiteral("MAINTEN.db"))));
    EXPECT_EQ(journalRows().size(), 1);
}

// A staff member's database browser holding a write lock must not freeze the kiosk.
TEST_F(JournalTest, WriteLockedJournal_LosesTheRecordQuickly)
{
    createJournal();
    sqlite3 *other = nullptr;
    ASSERT_EQ(
        sqlite3_open(QFile::encodeName(path(QStringLiteral("MAINTEN.db"))).constData(), &other),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    QElapsedTimer wall;
    wall.start();
    JournaliserErreur(QStringLiteral("Main"), QStringLiteral("perdu"));
    EXPECT_LT(wall.elapsed(), 700);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(journalRows().isEmpty());
    JournaliserErreur(QStringLiteral("Main"), QStringLiteral("gardé"));
    EXPECT_EQ(journalRows().size(), 1);
}

TEST_F(JournalTest, JournalWithoutTable_RecordLostSilently)
{
    writeFile(QStringLiteral("MAINTEN.db"), QByteArray());
    JournaliserErreur(QStringLiteral("Main"), QStringLiteral("perdu"));
    EXPECT_TRUE(journalRows().isEmpty());
}

} // namespace
