#include "commandejournal.h"
#include "commandes.h"
#include "democatalogue.h"
#include "dossierapplication.h"
#include "journal/journal.h"
#include "kiosktest.h"
#include "platform/profilefile.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QScopeGuard>
#include <QSet>
#include <QTextStream>

using namespace Movendi;

namespace {

class InitTest : public Test::KioskTest
{
};

TEST_F(InitTest, Init_LaysOutEveryPieceTheKioskStartsOn)
{
    layOutApplicationFolder();
    const QString ini = path(QStringLiteral("RURUDIZ.ini"));
    const QList<QPair<QString, QString>> keys = {
        {QStringLiteral("Base de donnée"), QStringLiteral("Nom")},
        {QStringLiteral("Base de donnée"), QStringLiteral("Serveur")},
        {QStringLiteral("TVA"), QStringLiteral("Taux")},
        {QStringLiteral("Base de donnée"), QStringLiteral("Ticket")},
        {QStringLiteral("PortCom"), QStringLiteral("PortModem")},
        {QStringLiteral("PortCom"), QStringLiteral("PortTPE")},
        {QStringLiteral("Machine"), QStringLiteral("Indentité Machine")},
        {QStringLiteral("Machine"), QStringLiteral("Location")},
        {QStringLiteral("Machine"), QStringLiteral("IntervalControl")},
        {QStringLiteral("Machine"), QStringLiteral("ChargementArriere")},
        {QStringLiteral("Télécollecte"), QStringLiteral("Debut")},
        {QStringLiteral("Télécollecte"), QStringLiteral("Fin")},
    };
    for (const auto &[section, key] : keys)
        EXPECT_EQ(Platform::readProfileString(ini, section, key).status,
                  Platform::ProfileStatus::Found)
            << section.toStdString() << "/" << key.toStdString();
    EXPECT_EQ(Platform::readProfileString(path(QStringLiteral("epi/porte.ini")),
                                          QStringLiteral("Porte"), QStringLiteral("Ouverte"))
                  .value,
              QStringLiteral("NON"));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("libgrafcet.so"))).isFile());

    Journal::JournaliserErreur(QStringLiteral("Test"), QStringLiteral("ligne"));
    EXPECT_EQ(journalRows().size(), 1);
}

TEST_F(InitTest, InitAgain_KeepsConfigurationAndJournal)
{
    layOutApplicationFolder();
    // The configuration holds passwords: its account's alone, after the kiosk rewrote it too.
    const QString ini = path(QStringLiteral("RURUDIZ.ini"));
    const QFile::Permissions autres = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFileInfo(ini).permissions() & autres, QFile::Permissions());
    Platform::writeProfileString(ini, QStringLiteral("Machine"), QStringLiteral("Location"),
                                 QStringLiteral("Quai 3"));
    EXPECT_EQ(QFileInfo(ini).permissions() & autres, QFile::Permissions());
    Journal::JournaliserErreur(QStringLiteral("Test"), QStringLiteral("gardée"));
    const Admin::InitReport report =
        Admin::initialiserDossier(folder(), Movendi::Test::simulatorLibraryPath());
    EXPECT_TRUE(report.ok);
    EXPECT_EQ(Platform::readProfileString(path(QStringLiteral("RURUDIZ.ini")),
                                          QStringLiteral("Machine"), QStringLiteral("Location"))
                  .value,
              QStringLiteral("Quai 3"));
    EXPECT_EQ(journalRows().size(), 1);
    QString error;
    EXPECT_EQ(Admin::lireJournal(folder(), &error).size(), 1);
}

TEST_F(InitTest, StoreOfAnEarlierVersion_GetsWhatItLacksAndKeepsItsSales)
{
    const QString chemin = path(QStringLiteral("DBMovendi.db"));
    {
        Store::StoreDatabase ancienne(chemin, true);
        ancienne.executer(QStringLiteral(
            "CREATE TABLE Ventes (NumVente INTEGER PRIMARY KEY AUTOINCREMENT, LaDate TEXT NOT "
            "NULL, DateTelecollecte TEXT, NoCBClient VARCHAR(20), IdentMachine VARCHAR(50), "
            "NoRemiseTelecollecte INTEGER, Ticket VARCHAR(1000))"));
        ancienne.executer(QStringLiteral("INSERT INTO Ventes (LaDate, Ticket) VALUES "
                                         "('2026-11-30 10:00:00', 'ancienne vente')"));
        ancienne.executer(QStringLiteral(
            "CREATE TABLE AuditStock (Id INTEGER PRIMARY KEY AUTOINCREMENT, LaDate TEXT NOT NULL, "
            "Ecran TEXT NOT NULL, Code TEXT, NoEmpl INTEGER, Reference INTEGER, Resultat TEXT NOT "
            "NULL)"));
    }
    QStringList compteRendu;
    QString erreur;
    ASSERT_TRUE(Admin::completerMagasin(chemin, &compteRendu, &erreur)) << erreur.toStdString();
    EXPECT_EQ(compteRendu, QStringList({QStringLiteral("ajouté: Ventes.StatutDebit"),
                                        QStringLiteral("ajouté: Ventes.Reprise"),
                                        QStringLiteral("ajouté: AuditStock.Personnel")}));
    Store::StoreDatabase base(chemin);
    const Store::ResultatRequete ventes =
        base.lire(QStringLiteral("SELECT Ticket, StatutDebit, Reprise FROM Ventes"));
    ASSERT_EQ(ventes.lignes.size(), 1);
    EXPECT_EQ(ventes.valeur(0, QStringLiteral("Ticket")).toString(),
              QStringLiteral("ancienne vente"));
    EXPECT_EQ(ventes.valeur(0, QStringLiteral("StatutDebit")).toInt(), 0);
    EXPECT_TRUE(base.lire(QStringLiteral("SELECT * FROM JournalVente")).estVide());
    // A second pass finds nothing left to add.
    compteRendu.clear();
    ASSERT_TRUE(Admin::completerMagasin(chemin, &compteRendu, &erreur));
    EXPECT_TRUE(compteRendu.isEmpty());
}

// A real kiosk's folder: nothing of the demo, only its devices left for staff to fill in.
TEST_F(InitTest, InitProduction_ThenConfig_ReportsOnlyTheDevicesToFillIn)
{
    const auto admin = [](const QStringList &arguments, QString *sortie) {
        QTextStream out(sortie);
        return Admin::executerCommande(arguments, out, out);
    };
    QString sortie;
    ASSERT_EQ(admin({QStringLiteral("init"), QStringLiteral("--production"), folder(),
                     QStringLiteral("--automate"), Movendi::Test::simulatorLibraryPath()},
                    &sortie),
              0)
        << sortie.toStdString();
    for (const char *demo : {"ListeIMEI.xls", "video/animation.avi"})
        EXPECT_FALSE(QFileInfo::exists(path(QLatin1String(demo)))) << demo;
    EXPECT_TRUE(QDir(path(QStringLiteral("image"))).isEmpty());
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("MAINTEN.db"))).isFile());
    // Linked, not copied: the library stays where root put it.
    EXPECT_EQ(QFileInfo(path(QStringLiteral("libgrafcet.so"))).symLinkTarget(),
              QFileInfo(Movendi::Test::simulatorLibraryPath()).absoluteFilePath());
    const QString ini = path(QStringLiteral("RURUDIZ.ini"));
    EXPECT_EQ(
        Platform::readProfileString(ini, QStringLiteral("Machine"), QStringLiteral("ReglerHorloge"))
            .value,
        QStringLiteral("OUI"));
    {
        Store::StoreDatabase base(path(QStringLiteral("DBMovendi.db")));
        for (const char *table : {"ArticleEnStock", "InfoSociete", "Ventes", "DetailVente"})
            EXPECT_TRUE(
                base.lire(QStringLiteral("SELECT * FROM ") + QLatin1String(table)).estVide())
                << table;
        EXPECT_EQ(base.lire(QStringLiteral("SELECT COUNT(*) FROM EmplacementsMachine1 WHERE "
                                           "Reference IS NULL"))
                      .lignes.at(0)
                      .at(0)
                      .toInt(),
                  Admin::ColonnesTambour * Admin::EtagesTambour);
    }

    sortie.clear();
    EXPECT_EQ(admin({QStringLiteral("config"), folder()}, &sortie), 1);
    EXPECT_EQ(sortie.count(QStringLiteral("À RENSEIGNER")), 3) << sortie.toStdString();
    EXPECT_TRUE(sortie.contains(QStringLiteral(", 3 périphérique(s) à renseigner, 0 valeur(s) "
                                               "invalide(s), 0 clé(s) inconnue(s), 0 lien(s) en "
                                               "clair.\n"
                                               "Configuration complète sauf les périphériques à "
                                               "renseigner: Port1, Port2, LCD.\n")))
        << sortie.toStdString();

    // Once staff name the devices, nothing is left; a second init keeps the kiosk's library.
    writeFile(QStringLiteral("dev/ttyS0"), QByteArray());
    writeFile(QStringLiteral("dev/ttyUSB0"), QByteArray());
    Platform::writeProfileString(ini, QStringLiteral("PortCom"), QStringLiteral("Port1"),
                                 path(QStringLiteral("dev/ttyS0")));
    Platform::writeProfileString(ini, QStringLiteral("PortCom"), QStringLiteral("Port2"),
                                 path(QStringLiteral("dev/ttyUSB0")));
    Platform::writeProfileString(ini, QStringLiteral("Machine"), QStringLiteral("LCD"), QString());
    sortie.clear();
    EXPECT_EQ(admin({QStringLiteral("config"), folder()}, &sortie), 0) << sortie.toStdString();
    EXPECT_TRUE(sortie.endsWith(QStringLiteral("Configuration complète et valide.\n")));
    sortie.clear();
    EXPECT_EQ(admin({QStringLiteral("init"), QStringLiteral("--production"), folder()}, &sortie),
              0);
    EXPECT_TRUE(sortie.contains(QStringLiteral("gardé: ") + path(QStringLiteral("libgrafcet.so"))))
        << sortie.toStdString();
}

TEST_F(InitTest, InitProduction_LibraryOthersThanRootCouldChange_RefusedAndFlagged)
{
    const auto admin = [](const QStringList &arguments, QString *sortie) {
        sortie->clear();
        QTextStream out(sortie);
        return Admin::executerCommande(arguments, out, out);
    };
    // A folder laid out by an earlier version: the library copied into it.
    QString sortie;
    ASSERT_EQ(admin({QStringLiteral("init"), folder()}, &sortie), 0) << sortie.toStdString();
    const QString copie = path(QStringLiteral("libgrafcet.so"));
    ASSERT_TRUE(QFile::setPermissions(copie, QFile::permissions(copie) | QFile::WriteGroup));
    qunsetenv("MOVENDI_AUTOMATE_HORS_ROOT");
    const auto remettre = qScopeGuard([] { qputenv("MOVENDI_AUTOMATE_HORS_ROOT", "1"); });

    EXPECT_EQ(admin({QStringLiteral("init"), QStringLiteral("--production"), folder()}, &sortie),
              1);
    EXPECT_TRUE(sortie.contains(
        QStringLiteral("erreur: bibliothèque du mécanisme refusée: %1 ").arg(copie)))
        << sortie.toStdString();
    EXPECT_TRUE(sortie.contains(QStringLiteral("--automate CHEMIN")));
    EXPECT_EQ(admin({QStringLiteral("config"), folder()}, &sortie), 1);
    EXPECT_TRUE(sortie.contains(QStringLiteral("INVALIDE: le kiosque la refusera: %1").arg(copie)))
        << sortie.toStdString();

    // Named from a folder its owner's group may write: no link made, the old copy left alone.
    const QString ailleurs = path(QStringLiteral("ailleurs"));
    ASSERT_TRUE(QDir().mkpath(ailleurs));
    ASSERT_TRUE(QFile::setPermissions(ailleurs, QFile::permissions(ailleurs) | QFile::WriteGroup |
                                                    QFile::ExeGroup));
    const QString nommee = ailleurs + QStringLiteral("/libmeca.so");
    ASSERT_TRUE(QFile::copy(Movendi::Test::simulatorLibraryPath(), nommee));
    EXPECT_EQ(admin({QStringLiteral("init"), QStringLiteral("--production"), folder(),
                     QStringLiteral("--automate"), nommee},
                    &sortie),
              1);
    EXPECT_TRUE(sortie.contains(QStringLiteral("erreur: bibliothèque du mécanisme refusée: ")))
        << sortie.toStdString();
    EXPECT_FALSE(QFileInfo(copie).isSymLink());
}

TEST_F(InitTest, Init_WithoutTheMechanismLibrary_Fails)
{
    const Admin::InitReport report =
        Admin::initialiserDossier(folder(), path(QStringLiteral("absent.so")));
    EXPECT_FALSE(report.ok);
    EXPECT_TRUE(report.lines.join(QLatin1Char('\n')).contains(QStringLiteral("absent.so")));
}

} // namespace

namespace {

class DemoCatalogueTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        layOutApplicationFolder();
    }
};

TEST(CheckDigitTest, Ean13AndLuhn_KnownCodes)
{
    EXPECT_EQ(Admin::chiffreControleEan13(QStringLiteral("400638133393")), 1);
    EXPECT_TRUE(Admin::ean13Valide(QStringLiteral("4006381333931")));
    EXPECT_FALSE(Admin::ean13Valide(QStringLiteral("4006381333932")));
    EXPECT_FALSE(Admin::ean13Valide(QStringLiteral("400638133393")));
    EXPECT_EQ(Admin::chiffreControleLuhn(QStringLiteral("49015420323751")),
              8); // IMEI 490154203237518
    EXPECT_TRUE(Admin::luhnValide(QStringLiteral("490154203237518")));
    EXPECT_FALSE(Admin::luhnValide(QStringLiteral("490154203237519")));
}

TEST_F(DemoCatalogueTest, Catalogue_ArticlesWithPicturesDescriptionsAndValidBarcodes)
{
    State::etat().CheminIni = path(QStringLiteral("RURUDIZ.ini"));
    Store::StoreDatabase base;
    EXPECT_EQ(base.lire(QStringLiteral("SELECT Nom FROM InfoSociete")).lignes.size(), 1);
    const auto articles = base.lire(QStringLiteral(
        "SELECT Reference, Designation, DesignationEN, Prix, Famille, CodeBar, Image "
        "FROM ArticleEnStock ORDER BY Reference"));
    ASSERT_GE(articles.lignes.size(), 8);
    QSet<int> familles;
    for (qsizetype i = 0; i < articles.lignes.size(); ++i) {
        const QString image = articles.valeur(i, QStringLiteral("Image")).toString();
        familles.insert(articles.valeur(i, QStringLiteral("Famille")).toInt());
        EXPECT_TRUE(Admin::ean13Valide(articles.valeur(i, QStringLiteral("CodeBar")).toString()))
            << image.toStdString();
        EXPECT_FALSE(articles.valeur(i, QStringLiteral("DesignationEN")).toString().isEmpty());
        EXPECT_GT(Store::StoreDatabase::monnaie(articles.valeur(i, QStringLiteral("Prix"))),
                  Money::Monnaie());
        EXPECT_FALSE(
            QImage(path(QStringLiteral("image/") + image + QStringLiteral(".jpg"))).isNull())
            << image.toStdString();
        for (const char *suffix : {".rtf", "EN.rtf"})
            EXPECT_TRUE(readFile(QStringLiteral("image/") + image + QLatin1String(suffix))
                            .startsWith("{\\rtf1"));
    }
    EXPECT_EQ(familles, (QSet<int>{1, 2}));
    EXPECT_TRUE(readFile(QStringLiteral("image/galaxy-a15.rtf"))
                    .contains("\\'c9cran")); // "Écran" in the code page
}

TEST_F(DemoCatalogueTest, Drum_LevelsByFamilyAndStockedUnitsCarryValidIdentifiers)
{
    Store::StoreDatabase base;
    const auto places = base.lire(QStringLiteral(
        "SELECT e.Colonne, e.Etage, e.Reference, e.IMEI, e.NoSIM, e.EAN13, a.Famille, a.CodeBar "
        "FROM EmplacementsMachine1 e LEFT JOIN ArticleEnStock a ON a.Reference = e.Reference "
        "ORDER BY e.NoEmpl"));
    EXPECT_EQ(places.lignes.size(), Admin::ColonnesTambour * Admin::EtagesTambour);
    int stocked = 0;
    for (qsizetype i = 0; i < places.lignes.size(); ++i) {
        const int colonne = places.valeur(i, QStringLiteral("Colonne")).toInt();
        EXPECT_TRUE(colonne >= 1 && colonne <= 36);
        if (places.valeur(i, QStringLiteral("Reference")).isNull())
            continue;
        ++stocked;
        const int etage = places.valeur(i, QStringLiteral("Etage")).toInt();
        EXPECT_EQ(places.valeur(i, QStringLiteral("EAN13")),
                  places.valeur(i, QStringLiteral("CodeBar")));
        if (places.valeur(i, QStringLiteral("Famille")).toInt() == 1) {
            EXPECT_GT(etage, 2);
            const QString imei = places.valeur(i, QStringLiteral("IMEI")).toString();
            EXPECT_EQ(imei.size(), 15);
            EXPECT_TRUE(Admin::luhnValide(imei)) << imei.toStdString();
            EXPECT_TRUE(Admin::luhnValide(places.valeur(i, QStringLiteral("NoSIM")).toString()));
        } else {
            EXPECT_LT(etage, 3);
            EXPECT_TRUE(places.valeur(i, QStringLiteral("IMEI")).isNull());
            EXPECT_EQ(places.valeur(i, QStringLiteral("NoSIM")).toString().size(), 16);
        }
    }
    EXPECT_GT(stocked, 0);
    EXPECT_LT(stocked, places.lignes.size());
}

TEST_F(DemoCatalogueTest, TopUpOffers_PointAtTopUpArticles)
{
    Store::StoreDatabase base;
    for (int i = 1; i <= 5; ++i) {
        const QString reference =
            Platform::readProfileString(path(QStringLiteral("RURUDIZ.ini")),
                                        QStringLiteral("Recharges"),
                                        QStringLiteral("Reference Prix %1").arg(i))
                .value;
        const auto article =
            base.lire(QStringLiteral("SELECT Famille FROM StockGlobal WHERE Reference = ?"),
                      {reference.toInt()});
        ASSERT_EQ(article.lignes.size(), 1) << "Reference Prix " << i;
        EXPECT_EQ(article.lignes.at(0).at(0).toInt(), 2);
    }
}

} // namespace
