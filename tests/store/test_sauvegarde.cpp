#include "kiosktest.h"
#include "platform/profilefile.h"
#include "state/etatdemarrage.h"
#include "store/sauvegarde.h"
#include "store/storedatabase.h"

#include <QDir>

using namespace Movendi;
using namespace Movendi::State;
using namespace Movendi::Store;

namespace {

class SauvegardeTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        useApplicationFolder();
    }
    QString sauvegarde() const { return path(QStringLiteral("epi/SauvegardeDBMovendi.dat")); }
    void ajouterVente() const
    {
        StoreDatabase base;
        base.executer(QStringLiteral("INSERT INTO Ventes (LaDate) VALUES (?)"),
                      {StoreDatabase::versBase(m_clock.now())});
    }
    int ventesDans(const QString &fichier) const
    {
        StoreDatabase copie(fichier);
        return copie.lire(QStringLiteral("SELECT COUNT(*) FROM Ventes")).lignes.at(0).at(0).toInt();
    }
    void cheminSauvegarde(const QString &valeur) const
    {
        ASSERT_TRUE(Platform::writeProfileString(etat().CheminIni, QStringLiteral("Base de donnée"),
                                                 QStringLiteral("CheminSauvegarde"), valeur));
    }
};

TEST_F(SauvegardeTest, Backup_IsAStoreWithTheSameRowsAndTheNextOneReplacesIt)
{
    EXPECT_EQ(NomFichierSauvegarde(), QStringLiteral("SauvegardeDBMovendi.dat"));
    ajouterVente();
    SauvegarderDatabase();
    ASSERT_TRUE(QFile::exists(sauvegarde()));
    EXPECT_EQ(ventesDans(sauvegarde()), 1);
    {
        StoreDatabase copie(sauvegarde());
        EXPECT_EQ(copie.lire(QStringLiteral("SELECT COUNT(*) FROM ArticleEnStock"))
                      .lignes.at(0)
                      .at(0)
                      .toInt(),
                  11);
    }

    ajouterVente();
    SauvegarderDatabase();
    EXPECT_EQ(ventesDans(sauvegarde()), 2);
    EXPECT_EQ(QDir(path(QStringLiteral("epi"))).entryList({QStringLiteral("Sauvegarde*")}),
              QStringList{QStringLiteral("SauvegardeDBMovendi.dat")});
    EXPECT_TRUE(journalRows().isEmpty());
}

TEST_F(SauvegardeTest, SecondFolder_GetsTheCopyOnlyWhenSetAndWritable)
{
    QDir(folder()).mkpath(QStringLiteral("nas"));
    cheminSauvegarde(path(QStringLiteral("nas")));
    writeFile(QStringLiteral("nas/sauvegardedbmovendi.DAT"), "ancienne copie");
    SauvegarderDatabase();
    EXPECT_EQ(QDir(path(QStringLiteral("nas"))).entryList(QDir::Files),
              QStringList{QStringLiteral("SauvegardeDBMovendi.dat")});
    EXPECT_EQ(ventesDans(path(QStringLiteral("nas/SauvegardeDBMovendi.dat"))), 0);

    writeFile(QStringLiteral("pas-un-dossier"), "x");
    for (const QString &inutilisable :
         {QString(), path(QStringLiteral("absent")), path(QStringLiteral("pas-un-dossier"))}) {
        QFile::remove(sauvegarde());
        cheminSauvegarde(inutilisable);
        SauvegarderDatabase();
        EXPECT_TRUE(QFile::exists(sauvegarde()));
    }
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("absent"))));
    EXPECT_TRUE(journalRows().isEmpty());
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

TEST_F(SauvegardeTest, NoStore_JournalledAndThePreviousBackupKept)
{
    SauvegarderDatabase();
    ASSERT_TRUE(QFile::exists(sauvegarde()));
    etat().NomBase = QStringLiteral("Absente");
    writeFile(QStringLiteral("epi/SauvegardeAbsente.dat"), "précédente");
    SauvegarderDatabase();
    EXPECT_EQ(readFile(QStringLiteral("epi/SauvegardeAbsente.dat")), QByteArray("précédente"));
    const auto rows = journalRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).contexte, QStringLiteral("SauvegarderDatabase"));
    EXPECT_TRUE(rows.at(0).erreur.startsWith(QStringLiteral("N°: 3343 ")));
}

} // namespace
