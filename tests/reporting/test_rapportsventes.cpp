#include "kiosktest.h"
#include "smtpserver.h"

#include "mail/email.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "reporting/envoyeremail.h"
#include "reporting/rapportsventes.h"
#include "reporting/remisesbancaire.h"
#include "startup/demarrage.h"
#include "startup/installations.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

using namespace Movendi;
using Reporting::PeriodeRapport;

namespace {

class RapportsTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        layOutApplicationFolder();
        State::etat().CheminIni = path(QStringLiteral("RURUDIZ.ini"));
        reglage(QStringLiteral("Machine"), QStringLiteral("Indentité Machine"),
                QStringLiteral("QRV"));
        Startup::LireConfiguration();
    }
    void reglage(const QString &section, const QString &cle, const QString &valeur) const
    {
        ASSERT_TRUE(Platform::writeProfileString(path(QStringLiteral("RURUDIZ.ini")), section, cle,
                                                 valeur));
    }
    void sql(const QString &s, const QVariantList &p = {}) const
    {
        Store::StoreDatabase base;
        base.executer(s, p);
    }
    QStringList enregistres() const
    {
        Store::StoreDatabase base;
        QStringList f;
        for (const QVariantList &l :
             base.lire(QStringLiteral("SELECT Fichier FROM TransfertExportCSV ORDER BY Id")).lignes)
            f << l.at(0).toString();
        return f;
    }
    // A phone sold on the 10th with a null column, and a top-up the same day.
    void deuxVentes() const
    {
        sql(QStringLiteral("INSERT INTO Ventes (NumVente, LaDate, NoCBClient, IdentMachine) VALUES "
                           "(1, '2026-12-10 14:05:00', '497010******7893', 'QRV')"));
        sql(QStringLiteral("INSERT INTO DetailVente (NoVente, Montant, EcoTaxe, TVA, RefProduit, "
                           "Designation, NoIMEI, NoSIM, NoFamille, NoCommande) VALUES (1, 1999000, "
                           "3000, 19.6, '101', 'Samsung; Galaxy \"A15\"', '352091014100377', NULL, "
                           "1, 'CMD-1')"));
        sql(QStringLiteral(
            "INSERT INTO DetailVente (NoVente, Montant, TVA, RefProduit, Designation, "
            "EAN13recharge, NoSerieRecharge, NoFamille) VALUES (1, 100000, 19.6, "
            "'201', 'Recharge 10 €', '3760123002011', '7201583094779745', 2)"));
    }
    QString rapport(const QString &nom) const
    {
        return path(QStringLiteral("RapportVentes/") + nom);
    }

    Mail::Email m_email;
    const Startup::InstalledEmail1 m_email1{&m_email};
};

struct CasJour
{
    QDate jour;
    std::optional<PeriodeRapport> finDeMois;
    std::optional<PeriodeRapport> debutDeMois;
};

TEST_F(RapportsTest, ReportDays_PeriodsOfTheMonthEndAndMonthStartReports)
{
    const auto p = [](const char *d, const char *f) {
        return PeriodeRapport{QString::fromLatin1(d), QString::fromLatin1(f)};
    };
    const QList<CasJour> cas = {
        {QDate(2025, 3, 1), {}, p("01/02/2025", "28/02/2025")},
        {QDate(2024, 3, 1), {}, p("01/02/2024", "29/02/2024")},
        {QDate(2027, 1, 1), {}, p("01/12/2026", "31/12/2026")},
        // June 2023 has 30 days and ends on a Friday: 29, 28, 27, 26 and then Friday 23.
        {QDate(2023, 6, 23), p("01/06/2023", "22/06/2023"), {}},
        {QDate(2023, 6, 22), {}, {}},
        {QDate(2023, 6, 26), {}, {}},
        // December counts back from the 31st (a Thursday in 2026) over Christmas's weekend.
        {QDate(2026, 12, 24), p("01/12/2026", "23/12/2026"), {}},
        {QDate(2026, 12, 2), {}, {}},
    };
    for (const CasJour &c : cas) {
        SCOPED_TRACE(c.jour.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(Reporting::periodeFinDeMois(c.jour), c.finDeMois);
        EXPECT_EQ(Reporting::periodeDebutDeMois(c.jour), c.debutDeMois);
    }
    EXPECT_EQ(Reporting::jourFinDeMois(2023, 6), QDate(2023, 6, 23));

    // The routines set the shared period on their day only.
    Reporting::etatRapport() = {QStringLiteral("x"), QStringLiteral("y")};
    m_clock.advance(QDateTime(QDate(2026, 12, 24), QTime(2, 40)).toMSecsSinceEpoch() -
                    m_clock.now().toMSecsSinceEpoch());
    EXPECT_FALSE(Reporting::JourRapportDebutDeMois());
    EXPECT_EQ(Reporting::etatRapport().DateDebutRapport, QStringLiteral("x"));
    EXPECT_TRUE(Reporting::JourRapportFinDeMois());
    EXPECT_EQ(Reporting::etatRapport().DateFinRapport, QStringLiteral("23/12/2026"));
}

TEST_F(RapportsTest, FileNamesAndCsvLayout)
{
    EXPECT_EQ(Reporting::nomFichierRapport(QStringLiteral("Ventes"), QStringLiteral("QRV"),
                                           QDate(2026, 6, 4), QStringLiteral(".CSV")),
              QStringLiteral("VentesQRV4-6.CSV"));
    EXPECT_EQ(Reporting::cheminRemisesBancaire(QDate(2026, 11, 5)),
              rapport(QStringLiteral("TelecollecteQRV5-11.xls")));
    EXPECT_EQ(QFileInfo(Reporting::cheminRemisesBancaire(QDate(2027, 1, 12))).fileName(),
              QStringLiteral("TelecollecteQRV12-1.xls"));

    Store::ResultatRequete lignes;
    lignes.colonnes = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    lignes.lignes = {
        {1, QVariant(QMetaType(QMetaType::QString)), QStringLiteral("fin")},
        {QStringLiteral("a;b"), QStringLiteral("dit \"oui\""), QStringLiteral("é\r\nx")},
        {19.6, QVariant(), QString()}};
    EXPECT_EQ(
        Reporting::texteCsv(lignes),
        QByteArray("A;B;C\r\n1;;fin\r\n\"a;b\";\"dit \"\"oui\"\"\";\"\xe9\r\nx\"\r\n19,6;;\r\n"));
}

TEST_F(RapportsTest, ExportCsv_WritesRegistersAndMailsTheFilesOfThePeriod)
{
    const Platform::InstalledClock tempsReel(nullptr); // the mail dialogue runs on socket events
    Movendi::Test::SmtpServer serveur;
    ASSERT_TRUE(serveur.start());
    reglage(QStringLiteral("Email"), QStringLiteral("Port"), QString::number(serveur.port()));
    reglage(QStringLiteral("Email"), QStringLiteral("Mailto Rapport Telvio1"),
            QStringLiteral("remises@compta.test"));
    reglage(QStringLiteral("Email"), QStringLiteral("Mailto Rapport Telvio2"),
            QStringLiteral("a@compta.test"));
    reglage(QStringLiteral("Email"), QStringLiteral("Mailto Rapport Telvio3"),
            QStringLiteral("b@compta.test"));
    deuxVentes();
    // A missing amount stays missing in the file: nothing, never 0,00.
    sql(QStringLiteral("UPDATE DetailVente SET EcoTaxe = NULL WHERE NoFamille = 1"));
    // Text leaves the store as UTF-8 and reaches the file in the Windows code page.
    sql(QStringLiteral("UPDATE DetailVente SET NoCommande = 'CMD-1 é€' WHERE NoFamille = 1"));
    Reporting::etatRapport() = {QStringLiteral("01/12/2026"), QStringLiteral("10/12/2026")};
    const QDate aujourdhui = QDate::currentDate();
    const QString ventes = Reporting::nomFichierRapport(
        QStringLiteral("Ventes"), QStringLiteral("QRV"), aujourdhui, QStringLiteral(".CSV"));
    const QString recharges = Reporting::nomFichierRapport(
        QStringLiteral("Recharges"), QStringLiteral("QRV"), aujourdhui, QStringLiteral(".CSV"));
    // An older file of the same name is overwritten.
    QDir().mkpath(path(QStringLiteral("RapportVentes")));
    writeFile(QStringLiteral("RapportVentes/") + ventes, QByteArray(5000, 'x'));

    Reporting::ExportCsv();

    const QByteArray csvVentes = readFile(QStringLiteral("RapportVentes/") + ventes);
    EXPECT_EQ(csvVentes.split('\n').size(), 3) << csvVentes.constData();
    EXPECT_TRUE(csvVentes.startsWith("NumVente;LaDate;"));
    EXPECT_TRUE(csvVentes.contains(
        ";\"Samsung; Galaxy \"\"A15\"\"\";352091014100377;;CMD-1 \xe9\x80;199,90;;19,6;"))
        << csvVentes.constData();
    EXPECT_TRUE(
        readFile(QStringLiteral("RapportVentes/") + recharges).contains("7201583094779745"));
    EXPECT_EQ(enregistres(), (QStringList{ventes, recharges}));
    QList<Movendi::Test::ReceivedMail> mails = serveur.mails();
    ASSERT_EQ(mails.size(), 2);
    for (const Movendi::Test::ReceivedMail &m : mails) {
        EXPECT_EQ(m.attachments.keys(), (QStringList{recharges, ventes}));
        EXPECT_EQ(m.attachments.value(ventes), csvVentes);
        EXPECT_TRUE(m.content.contains("Subject: Rapport D.A. Telephone Mobile QRV"));
    }
    EXPECT_EQ(mails[0].rcptTos, QStringList{QStringLiteral("a@compta.test")});
    EXPECT_EQ(mails[1].rcptTos, QStringList{QStringLiteral("b@compta.test")});

    Reporting::RapportBordereauxRemiseBancaire();
    mails = serveur.mails();
    ASSERT_EQ(mails.size(), 3);
    const QString classeur = QFileInfo(Reporting::cheminRemisesBancaire(aujourdhui)).fileName();
    EXPECT_EQ(mails[2].rcptTos, QStringList{QStringLiteral("remises@compta.test")});
    EXPECT_EQ(mails[2].attachments.keys(), QStringList{classeur});
    EXPECT_EQ(enregistres().last(), classeur);
    EXPECT_TRUE(journalRows().isEmpty());

    // A failing top-up export: the sales file stays written and registered, and nothing is mailed.
    sql(QStringLiteral("DROP VIEW ExportCSVrecharge"));
    QFile::remove(rapport(ventes));
    Reporting::ExportCsv();
    EXPECT_TRUE(QFileInfo::exists(rapport(ventes)));
    EXPECT_EQ(enregistres().mid(3), QStringList{ventes});
    EXPECT_EQ(serveur.mails().size(), 3);
    ASSERT_EQ(journalRows().size(), 1);
    EXPECT_EQ(journalRows().first().contexte, QStringLiteral("ExportCsv"));
}

// The remittance workbook as accountants open it: xlrd, and LibreOffice converting it to CSV.
TEST_F(RapportsTest, RemittanceWorkbook_ReadByXlrdAndByLibreOffice)
{
    const QString ticketLong = QStringLiteral("TELECOLLECTE du 08/12/26 à 02:31\r\n") +
                               QStringLiteral("ACQUEREUR 1 Crédit Agricole\r\n").repeated(40);
    for (const int n : {0, 1, 10000}) {
        SCOPED_TRACE(n);
        sql(QStringLiteral("DELETE FROM Telecollectes"));
        sql(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                "INSERT INTO Telecollectes (LaDate, NbTransaction, Montant, NoRemise, Ticket) "
                "SELECT '2026-12-08 02:31:05', CASE WHEN i % 2 = 0 THEN NULL ELSE i END, "
                "CASE WHEN i % 3 = 0 THEN NULL ELSE i * 12345 END, i, "
                "CASE WHEN i = 1 THEN ? ELSE 'Remise n° ' || i END FROM n WHERE ? > 0"),
            {n, ticketLong, n});
        const QString chemin = Reporting::ExportRemisesBancaire();
        ASSERT_TRUE(QFileInfo::exists(chemin));

        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral(R"(
import csv, json, subprocess, sys, tempfile, os, xlrd
path = sys.argv[1]
book = xlrd.open_workbook(path)
sheet = book.sheet_by_index(0)
rows = [[(c.ctype, c.value) for c in sheet.row(r)] for r in range(sheet.nrows)]
out = tempfile.mkdtemp()
subprocess.run(['soffice', '-env:UserInstallation=file://' + out + '/profil', '--headless',
                '--convert-to', 'csv:Text - txt - csv (StarCalc):44,34,76', '--outdir', out, path],
               check=True, capture_output=True, timeout=300)
name = os.path.join(out, os.path.splitext(os.path.basename(path))[0] + '.csv')
with open(name, newline='', encoding='utf-8') as f:
    lo = list(csv.reader(f))
print(json.dumps({'sheet': sheet.name, 'first': rows[:2], 'last': rows[-1], 'count': len(rows),
                  'lo_count': len(lo), 'lo_first': lo[:2], 'lo_last': lo[-1]}))
)"),
                                                          chemin});
        ASSERT_TRUE(python.waitForFinished(300000));
        ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        const QJsonObject r = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        EXPECT_EQ(r[QStringLiteral("sheet")].toString(), QStringLiteral("Résultats"));
        EXPECT_EQ(r[QStringLiteral("count")].toInt(), n + 1);
        EXPECT_EQ(r[QStringLiteral("lo_count")].toInt(), n + 1);
        const QJsonArray loEntete = r[QStringLiteral("lo_first")].toArray().at(0).toArray();
        EXPECT_EQ(loEntete.toVariantList(),
                  (QVariantList{QStringLiteral("LaDate"), QStringLiteral("NbTransaction"),
                                QStringLiteral("Montant"), QStringLiteral("NoRemise"),
                                QStringLiteral("Ticket"), QStringLiteral("RefAutomate")}));
        if (n == 0)
            continue;
        // xlrd: (type, value); 1 text, 2 number, 3 date, 0 empty.
        const QJsonArray premiere = r[QStringLiteral("first")].toArray().at(1).toArray();
        const auto cellule = [&premiere](int c) { return premiere.at(c).toArray(); };
        EXPECT_EQ(cellule(0).at(0).toInt(), 3);
        EXPECT_NEAR(cellule(0).at(1).toDouble(), 46364.0 + (2 * 3600 + 31 * 60 + 5) / 86400.0,
                    1e-6);
        EXPECT_EQ(cellule(1).at(1).toDouble(), 1.0);
        EXPECT_EQ(cellule(2).at(1).toDouble(), 1.2345);
        EXPECT_EQ(cellule(4).at(1).toString(), ticketLong);
        EXPECT_EQ(cellule(5).at(1).toString(), QStringLiteral("QRV"));
        const QJsonArray lo = r[QStringLiteral("lo_first")].toArray().at(1).toArray();
        EXPECT_EQ(lo.at(3).toString(), QStringLiteral("1"));
        EXPECT_EQ(lo.at(4).toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                  QString(ticketLong).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        if (n == 10000) {
            const QJsonArray derniere = r[QStringLiteral("last")].toArray();
            EXPECT_EQ(derniere.at(1).toArray().at(0).toInt(), 0); // null count: no cell
            EXPECT_EQ(derniere.at(2).toArray().at(1).toDouble(), 12345.0);
            EXPECT_EQ(derniere.at(4).toArray().at(1).toString(), QStringLiteral("Remise n° 10000"));
            const QJsonArray loDerniere = r[QStringLiteral("lo_last")].toArray();
            EXPECT_EQ(loDerniere.at(1).toString(), QString());
            EXPECT_EQ(loDerniere.at(4).toString(), QStringLiteral("Remise n° 10000"));
        }
    }
}

} // namespace
