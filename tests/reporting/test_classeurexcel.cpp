// The Excel 97 workbook writer, checked by reading its files back with xlrd and FreeXL.
#include "kiosktest.h"
#include "lecturexls.h"

#include "reporting/classeurexcel.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtEndian>

#include <freexl.h>

using namespace Movendi;
using namespace Movendi::Reporting;
using Money::Monnaie;
using namespace Movendi::Test;

namespace {

const QString NomFeuille = QStringLiteral("Ventes été – 12 €");
const QString Ticket = QStringLiteral("MOVENDI Gare de Lyon\r\nTicket n° 42\r\n"
                                      "Galaxy A5 – noir\r\nTotal : 1 299,90 €\r\n");
constexpr qint64 Imei = 356938035643809;
constexpr qint64 ImeiVariant = 861536030196001;
constexpr qint64 Ean = 4006381333931;
const QString FormatDate = QStringLiteral("dd/mm/yyyy hh:mm:ss");
const QString FormatMonnaie = QStringLiteral("#,##0.00 \"€\"");

// A sales sheet with every kind of cell; its second row comes from database values.
ClasseurExcel classeurDeVentes()
{
    ClasseurExcel classeur(NomFeuille, {QStringLiteral("Vendu le"), QStringLiteral("IMEI"),
                                        QStringLiteral("Modèle"), QStringLiteral("Prix €"),
                                        QStringLiteral("Ticket"), QStringLiteral("Remarque"),
                                        QStringLiteral("EAN")});
    classeur.ajouterLigne({QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26)), double(Imei),
                           QStringLiteral("Galaxy A5 – noir"), Monnaie::depuisCentimes(129990),
                           Ticket, QString(), double(Ean)});
    QList<Cellule> ligne;
    for (const QVariant &v :
         {QVariant(QDate(2026, 3, 15)), QVariant(qlonglong(ImeiVariant)),
          QVariant(QStringLiteral("Nokia 3310")), QVariant::fromValue(Monnaie::depuisUnites(12345)),
          QVariant(QMetaType::fromType<QString>()), QVariant(3.5)})
        ligne.append(celluleDepuis(v));
    classeur.ajouterLigne(ligne);
    classeur.ajouterLigne({QStringLiteral("Fin")});
    return classeur;
}

// The Workbook stream's SST and its CONTINUE records: how many records, and the bytes of
// their data.
struct TableChaines
{
    int enregistrements = 0;
    qsizetype octets = 0;
};

TableChaines tableChaines(const QByteArray &flux)
{
    TableChaines t;
    bool dedans = false;
    for (qsizetype p = 0; p + 4 <= flux.size();) {
        const quint16 type = qFromLittleEndian<quint16>(flux.constData() + p);
        const quint16 taille = qFromLittleEndian<quint16>(flux.constData() + p + 2);
        dedans = type == 0x00FC || (dedans && type == 0x003C);
        if (dedans) {
            ++t.enregistrements;
            t.octets += taille;
        }
        p += 4 + taille;
    }
    return t;
}

QStringList fichiersSous(const QString &dossier)
{
    QStringList fichiers;
    QDirIterator it(dossier, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        fichiers << it.next();
    return fichiers;
}

class ClasseurExcelTest : public Movendi::Test::KioskTest
{
};

} // namespace

TEST_F(ClasseurExcelTest, XlrdReadsEveryKindOfCell)
{
    writeFile(QStringLiteral("ventes.xls"), "an older report");
    QString erreur;
    ASSERT_TRUE(classeurDeVentes().ecrire(path(QStringLiteral("ventes.xls")), &erreur))
        << erreur.toStdString();
    EXPECT_EQ(fichiersSous(folder()), QStringList{path(QStringLiteral("ventes.xls"))});

    const QJsonArray feuilles = lireAvecXlrd(path(QStringLiteral("ventes.xls")));
    ASSERT_EQ(feuilles.size(), 1);
    EXPECT_EQ(feuilles[0][QStringLiteral("name")].toString(), NomFeuille);
    const QJsonArray lignes = feuilles[0][QStringLiteral("rows")].toArray();
    ASSERT_EQ(lignes.size(), 4);
    for (const auto &ligne : lignes)
        ASSERT_EQ(ligne.toArray().size(), 7);

    struct Attendu
    {
        int ligne;
        int colonne;
        int type;
        QJsonValue valeur; // not checked for dates: their fields are
        QString format;
        QList<int> date = {};
    };
    const QList<Attendu> attendus = {
        {0, 0, Texte, QStringLiteral("Vendu le"), QStringLiteral("General")},
        {0, 2, Texte, QStringLiteral("Modèle"), QStringLiteral("General")},
        {0, 3, Texte, QStringLiteral("Prix €"), QStringLiteral("General")},
        {1, 0, Date, {}, FormatDate, {2026, 3, 14, 15, 9, 26}},
        {1, 1, Nombre, double(Imei), QStringLiteral("General")},
        {1, 2, Texte, QStringLiteral("Galaxy A5 – noir"), QStringLiteral("General")},
        {1, 3, Nombre, 1299.9, FormatMonnaie},
        {1, 4, Texte, Ticket, QStringLiteral("General")},
        {1, 5, Vide, QStringLiteral(""), QString()},
        {1, 6, Nombre, double(Ean), QStringLiteral("General")},
        {2, 0, Date, {}, FormatDate, {2026, 3, 15, 0, 0, 0}},
        {2, 1, Nombre, double(ImeiVariant), QStringLiteral("General")},
        {2, 2, Texte, QStringLiteral("Nokia 3310"), QStringLiteral("General")},
        {2, 3, Nombre, 1.2345, FormatMonnaie},
        {2, 4, Vide, QStringLiteral(""), QString()},
        {2, 5, Nombre, 3.5, QStringLiteral("General")},
        {2, 6, Vide, QStringLiteral(""), QString()},
        {3, 0, Texte, QStringLiteral("Fin"), QStringLiteral("General")},
        {3, 1, Vide, QStringLiteral(""), QString()},
    };
    for (const Attendu &a : attendus) {
        SCOPED_TRACE(testing::Message() << "row " << a.ligne << " column " << a.colonne);
        const QJsonArray cellule = lignes[a.ligne].toArray()[a.colonne].toArray();
        EXPECT_EQ(cellule[0].toInt(), a.type);
        if (a.type == Date) {
            QList<int> parties;
            for (const auto &p : cellule[3].toArray())
                parties << p.toInt();
            EXPECT_EQ(parties, a.date);
        } else {
            EXPECT_EQ(cellule[1], a.valeur) << QJsonDocument(cellule).toJson().toStdString();
        }
        if (!a.format.isNull()) {
            EXPECT_EQ(cellule[2].toString(), a.format);
        }
    }
    // Whole digits, not a rounded double.
    EXPECT_EQ(qint64(lignes[1][1][1].toDouble()), Imei);
    EXPECT_EQ(qint64(lignes[2][1][1].toDouble()), ImeiVariant);
}

TEST_F(ClasseurExcelTest, FreeXlReadsTextAndNumbers)
{
    ASSERT_TRUE(classeurDeVentes().ecrire(path(QStringLiteral("ventes.xls"))));

    const void *xls = nullptr;
    ASSERT_EQ(freexl_open(QFile::encodeName(path(QStringLiteral("ventes.xls"))).constData(), &xls),
              FREEXL_OK);
    const auto fermer = qScopeGuard([&] { freexl_close(xls); });
    unsigned int feuilles = 0;
    ASSERT_EQ(freexl_get_info(xls, FREEXL_BIFF_SHEET_COUNT, &feuilles), FREEXL_OK);
    ASSERT_EQ(feuilles, 1u);
    const char *nom = nullptr;
    ASSERT_EQ(freexl_get_worksheet_name(xls, 0, &nom), FREEXL_OK);
    EXPECT_EQ(QString::fromUtf8(nom), NomFeuille);
    ASSERT_EQ(freexl_select_active_worksheet(xls, 0), FREEXL_OK);
    unsigned int lignes = 0;
    unsigned short colonnes = 0;
    ASSERT_EQ(freexl_worksheet_dimensions(xls, &lignes, &colonnes), FREEXL_OK);
    EXPECT_EQ(lignes, 4u);
    EXPECT_EQ(colonnes, 7);

    struct Attendu
    {
        unsigned short ligne;
        unsigned short colonne;
        int type;
        QString texte = {};
        double nombre = 0;
    };
    const QList<Attendu> attendus = {
        {0, 3, FREEXL_CELL_SST_TEXT, QStringLiteral("Prix €")},
        {1, 0, FREEXL_CELL_DATETIME, QStringLiteral("2026-03-14 15:09:26")},
        {1, 1, FREEXL_CELL_DOUBLE, {}, double(Imei)},
        {1, 2, FREEXL_CELL_SST_TEXT, QStringLiteral("Galaxy A5 – noir")},
        {1, 3, FREEXL_CELL_DOUBLE, {}, 1299.9},
        {1, 4, FREEXL_CELL_SST_TEXT, Ticket},
        {1, 5, FREEXL_CELL_NULL},
        {1, 6, FREEXL_CELL_DOUBLE, {}, double(Ean)},
        {2, 1, FREEXL_CELL_DOUBLE, {}, double(ImeiVariant)},
        {2, 2, FREEXL_CELL_SST_TEXT, QStringLiteral("Nokia 3310")},
        {3, 0, FREEXL_CELL_SST_TEXT, QStringLiteral("Fin")},
    };
    for (const Attendu &a : attendus) {
        SCOPED_TRACE(testing::Message() << "row " << a.ligne << " column " << a.colonne);
        FreeXL_CellValue v;
        ASSERT_EQ(freexl_get_cell_value(xls, a.ligne, a.colonne, &v), FREEXL_OK);
        ASSERT_EQ(int(v.type), a.type);
        if (a.type == FREEXL_CELL_DOUBLE) {
            EXPECT_EQ(v.value.double_value, a.nombre);
        } else if (a.type != FREEXL_CELL_NULL) {
            EXPECT_EQ(QString::fromUtf8(v.value.text_value), a.texte);
        }
    }
}

struct CasChaines
{
    const char *nom;
    QStringList ecrites;
    QStringList lues;
};

void PrintTo(const CasChaines &cas, std::ostream *os)
{
    *os << cas.nom;
}

class TableChainesTest : public ClasseurExcelTest, public testing::WithParamInterface<CasChaines>
{
};

TEST_P(TableChainesTest, XlrdReadsEveryStringBack)
{
    const CasChaines &cas = GetParam();
    ClasseurExcel classeur(QStringLiteral("Chaînes"), {QStringLiteral("Texte")});
    for (const QString &s : cas.ecrites)
        classeur.ajouterLigne({s});

    // Each string split across records repeats its flags byte in the next record: the table
    // data beyond the strings' own bytes counts the splits.
    const TableChaines table = tableChaines(classeur.fluxClasseur());
    qsizetype octets = 8 + 3 + QStringLiteral("Texte").size(); // counts, then the column name
    for (const QString &s : cas.lues) {
        const bool large =
            std::any_of(s.cbegin(), s.cend(), [](QChar c) { return c.unicode() > 0xFF; });
        octets += 3 + s.size() * (large ? 2 : 1);
    }
    EXPECT_GT(table.enregistrements, 1);
    EXPECT_GT(table.octets - octets, 0) << "no string split across records";

    ASSERT_TRUE(classeur.ecrire(path(QStringLiteral("chaines.xls"))));
    const QJsonArray feuilles = lireAvecXlrd(path(QStringLiteral("chaines.xls")));
    ASSERT_EQ(feuilles.size(), 1);
    const QJsonArray lignes = feuilles[0][QStringLiteral("rows")].toArray();
    ASSERT_EQ(lignes.size(), cas.lues.size() + 1);
    for (qsizetype i = 0; i < cas.lues.size(); ++i) {
        const QJsonArray cellule = lignes[i + 1][0].toArray();
        ASSERT_EQ(cellule[0].toInt(), Texte) << "row " << i + 1;
        ASSERT_EQ(cellule[1].toString(), cas.lues.at(i)) << "row " << i + 1;
    }
}

QStringList repete(const QString &motif, int fois, const QString &suffixe)
{
    QStringList l;
    for (int i = 0; i < fois; ++i)
        l << motif.repeated(300) + suffixe.arg(i);
    return l;
}

QStringList courtes()
{
    QStringList l;
    for (int i = 0; i < 6000; ++i)
        l << (i % 3 ? QStringLiteral("Réf. %1 – étui").arg(i) : QStringLiteral("Réf. %1").arg(i));
    return l;
}

const QString Smiley = QStringLiteral("😀");

INSTANTIATE_TEST_SUITE_P(
    Sst, TableChainesTest,
    testing::Values(CasChaines{"ThousandsOfShortStrings", courtes(), courtes()},
                    CasChaines{"LongEightBitStrings",
                               repete(QStringLiteral("àbçdé"), 60, QStringLiteral("%1")),
                               repete(QStringLiteral("àbçdé"), 60, QStringLiteral("%1"))},
                    CasChaines{"LongStringsWithSurrogatePairs",
                               repete(QStringLiteral("€") + Smiley, 70, QStringLiteral("-%1")),
                               repete(QStringLiteral("€") + Smiley, 70, QStringLiteral("-%1"))},
                    CasChaines{"TextsLongerThanACell",
                               {QString(40000, QLatin1Char('x')), Smiley.repeated(20000)},
                               {QString(32767, QLatin1Char('x')), Smiley.repeated(16383)}}),
    [](const testing::TestParamInfo<CasChaines> &cas) { return cas.param.nom; });

TEST_F(ClasseurExcelTest, FailedWriteLeavesNoFile)
{
    struct Cas
    {
        const char *nom;
        QString chemin;
        int lignes;
    };
    QDir(folder()).mkdir(QStringLiteral("dossier.xls"));
    const QList<Cas> cas = {
        {"missing folder", path(QStringLiteral("absent/ventes.xls")), 1},
        {"target is a folder", path(QStringLiteral("dossier.xls")), 1},
        {"more rows than Excel 97 holds", path(QStringLiteral("ventes.xls")),
         ClasseurExcel::LignesMax},
    };
    for (const Cas &c : cas) {
        SCOPED_TRACE(c.nom);
        ClasseurExcel classeur(QStringLiteral("Ventes"), {QStringLiteral("IMEI")});
        for (int i = 0; i < c.lignes; ++i)
            classeur.ajouterLigne({double(Imei + i)});
        QString erreur;
        EXPECT_FALSE(classeur.ecrire(c.chemin, &erreur));
        EXPECT_FALSE(erreur.isEmpty());
        EXPECT_EQ(fichiersSous(folder()), QStringList());
    }
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("dossier.xls"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("absent"))));
}

TEST(NomFeuilleValide, KeepsWhatExcelAcceptsAndMendsTheRest)
{
    const QString smiley = QStringLiteral("😀");
    const struct
    {
        QString nom;
        QString attendu;
    } cas[] = {
        {QStringLiteral("Ventes été – 12 €"), QStringLiteral("Ventes été – 12 €")},
        {QStringLiteral("Ventes 03/2026 [kiosque:7]?*\\"),
         QStringLiteral("Ventes 03_2026 _kiosque_7____")},
        {QString(30, QLatin1Char('a')) + smiley, QString(30, QLatin1Char('a'))},
        {QString(29, QLatin1Char('a')) + smiley + QStringLiteral("b"),
         QString(29, QLatin1Char('a')) + smiley},
        {QStringLiteral("'Bilan'"), QStringLiteral("_Bilan_")},
        {QString(), QStringLiteral("Feuil1")},
    };
    for (const auto &c : cas) {
        EXPECT_EQ(nomFeuilleValide(c.nom), c.attendu) << c.nom.toStdString();
        EXPECT_EQ(ClasseurExcel(c.nom, {}).nomFeuille(), c.attendu);
    }
}
