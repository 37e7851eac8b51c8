#include "kiosktest.h"
#include "machine/grafcetlibrary.h"
#include "platform/profilefile.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace Movendi;
using Machine::GrafcetLibrary;

namespace {

// The simulated mechanism, loaded as the kiosk loads the real one.
class SimulatorTest : public Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(epi()));
        qputenv("MOVENDI_EPI", QFile::encodeName(epi()));
        const QString copy = path(QStringLiteral("libgrafcet.so"));
        ASSERT_TRUE(QFile::copy(Movendi::Test::simulatorLibraryPath(), copy));
        ASSERT_TRUE(m_lib.load(copy, Machine::ControleProvenance::Aucun))
            << m_lib.errorText().toStdString();
    }
    QString epi() const { return path(QStringLiteral("epi")); }
    QString door() const
    {
        return Platform::readProfileString(epi() + QStringLiteral("/porte.ini"),
                                           QStringLiteral("Porte"), QStringLiteral("Ouverte"))
            .value;
    }
    void control(const QString &section, const QString &key, const QString &value) const
    {
        ASSERT_TRUE(Platform::writeProfileString(epi() + QStringLiteral("/grafcet-sim.ini"),
                                                 section, key, value));
    }
    void closeDoorState() const
    {
        ASSERT_TRUE(Platform::writeProfileString(epi() + QStringLiteral("/porte.ini"),
                                                 QStringLiteral("Porte"), QStringLiteral("Ouverte"),
                                                 QStringLiteral("NON")));
    }

    GrafcetLibrary m_lib;
};

TEST_F(SimulatorTest, Delivery_OpensTheDoorAndWritesTheDoorState)
{
    writeFile(QStringLiteral("epi/porte.ini"),
              "; shared with the kiosk\n[Porte]\nOuverte=NON\n[Autre]\nCle=1\n");
    ASSERT_EQ(m_lib.init_grafcet(50), 0);
    EXPECT_EQ(m_lib.raz_tpv(1), 0);
    EXPECT_EQ(m_lib.InitMotor(), 0);
    EXPECT_EQ(m_lib.CheckDoor(), 0);
    EXPECT_EQ(m_lib.DrumPosition(1, 12, 5), 0);
    EXPECT_EQ(door(), QStringLiteral("NON"));
    EXPECT_EQ(m_lib.OpenDoor(1, 12, 5), 0);
    EXPECT_EQ(door(), QStringLiteral("OUI"));
    EXPECT_EQ(readFile(QStringLiteral("epi/porte.ini")),
              QByteArray("; shared with the kiosk\n[Porte]\nOuverte=OUI\n[Autre]\nCle=1\n"));
    EXPECT_EQ(m_lib.CheckDoor(), 1);
    EXPECT_EQ(m_lib.CloseDoor(1, 12, 5), 0);
    EXPECT_EQ(m_lib.CheckDoor(), 0);

    const QString log = QString::fromUtf8(readFile(QStringLiteral("epi/grafcet-sim.log")));
    EXPECT_TRUE(log.contains(QStringLiteral("DrumPosition(1, 12, 5) = 0")));
    EXPECT_TRUE(log.contains(QStringLiteral("OpenDoor(1, 12, 5) = 0")));
}

TEST_F(SimulatorTest, Calls_BeforeInitOrAtTheWrongPosition_Fail)
{
    EXPECT_NE(m_lib.DrumPosition(1, 3, 5), 0);
    EXPECT_NE(m_lib.InitMotor(), 0);
    ASSERT_EQ(m_lib.init_grafcet(50), 0);
    EXPECT_NE(m_lib.DrumPosition(1, 0, 5), 0);
    EXPECT_EQ(m_lib.DrumPosition(1, 3, 5), 0);
    closeDoorState();
    EXPECT_NE(m_lib.OpenDoor(1, 4, 5), 0);
    EXPECT_EQ(door(), QStringLiteral("NON"));
}

TEST_F(SimulatorTest, Faults_ForAFunctionOrOnePosition)
{
    control(QStringLiteral("Pannes"), QStringLiteral("DrumPosition.12"), QStringLiteral("4"));
    control(QStringLiteral("Pannes"), QStringLiteral("InitMotor"), QStringLiteral("9"));
    ASSERT_EQ(m_lib.init_grafcet(50), 0);
    EXPECT_EQ(m_lib.InitMotor(), 9);
    EXPECT_EQ(m_lib.DrumPosition(1, 12, 5), 4);
    EXPECT_EQ(m_lib.DrumPosition(1, 13, 5), 0);

    // A failing door opens nothing; the fault applies at once, without reloading.
    control(QStringLiteral("Pannes"), QStringLiteral("OpenDoor"), QStringLiteral("7"));
    closeDoorState();
    EXPECT_EQ(m_lib.OpenDoor(1, 13, 5), 7);
    EXPECT_EQ(door(), QStringLiteral("NON"));
    EXPECT_EQ(m_lib.CheckDoor(), 0);
}

TEST_F(SimulatorTest, BlockedDoor_AnswersSuccessButStaysShut)
{
    control(QStringLiteral("Portes"), QStringLiteral("Bloquee"), QStringLiteral("5, 8"));
    closeDoorState();
    ASSERT_EQ(m_lib.init_grafcet(50), 0);
    ASSERT_EQ(m_lib.DrumPosition(1, 8, 5), 0);
    EXPECT_EQ(m_lib.OpenDoor(1, 8, 5), 0);
    EXPECT_EQ(door(), QStringLiteral("NON"));
    ASSERT_EQ(m_lib.DrumPosition(1, 9, 5), 0);
    EXPECT_EQ(m_lib.OpenDoor(1, 9, 5), 0);
    EXPECT_EQ(door(), QStringLiteral("OUI"));
}

TEST(GrafcetLibraryTest, MissingOrIncompleteLibrary_RefusedWithTheReason)
{
    GrafcetLibrary lib;
    EXPECT_FALSE(
        lib.load(QStringLiteral("/nonexistent/libgrafcet.so"), Machine::ControleProvenance::Aucun));
    EXPECT_TRUE(lib.errorText().contains(QStringLiteral("/nonexistent/libgrafcet.so")));
    EXPECT_EQ(lib.init_grafcet(50), GrafcetLibrary::NotLoaded);
    EXPECT_EQ(lib.OpenDoor(1, 1, 5), GrafcetLibrary::NotLoaded);

    EXPECT_FALSE(lib.load(Movendi::Test::binaryPath("libgrafcet_incomplete.so"),
                          Machine::ControleProvenance::Aucun));
    EXPECT_FALSE(lib.isLoaded());
    for (const char *name : {"CheckDoor", "InitMotor", "DrumPosition", "OpenDoor", "CloseDoor"})
        EXPECT_TRUE(lib.errorText().contains(QLatin1String(name))) << name;
    EXPECT_FALSE(lib.errorText().contains(QStringLiteral("raz_tpv")));
    EXPECT_EQ(lib.raz_tpv(1), GrafcetLibrary::NotLoaded);
}

// Who may change a library before the kiosk loads it: each folder is made with its mode, the
// library copied in (or linked to), and the check's refusal must name the weak spot.
TEST_F(SimulatorTest, Provenance_RefusedWhereAnotherAccountCouldSwapTheCode)
{
    struct Cas
    {
        const char *nom;
        mode_t dossier;    // folder holding the library
        mode_t fichier;    // the library
        mode_t lien;       // folder holding a link to it; 0: no link, the library itself named
        bool etranger;     // the owner of the files is not one the check trusts
        const char *refus; // what the refusal names ("dossier", "fichier"), empty when trusted
        const char *texte;
    };
    const Cas cas[] = {
        {"sain", 0755, 0644, 0, false, "", ""},
        {"fichier du groupe", 0755, 0664, 0, false, "fichier", "(droits 0664)"},
        {"dossier ouvert à tous", 0777, 0644, 0, false, "dossier", "(droits 0777)"},
        {"dossier collant", 01777, 0644, 0, false, "", ""},
        {"autre propriétaire", 0755, 0644, 0, true, "fichier", ", pas à root"},
        {"lien vers un dossier ouvert", 0777, 0644, 0755, false, "dossier", "(droits 0777)"},
        {"lien depuis un dossier ouvert", 0755, 0644, 0777, false, "", ""},
    };
    const uid_t moi = ::getuid();
    int n = 0;
    for (const Cas &c : cas) {
        SCOPED_TRACE(c.nom);
        const QString dossier = path(QStringLiteral("cas%1/bib").arg(++n));
        ASSERT_TRUE(QDir().mkpath(dossier));
        const QString fichier = dossier + QStringLiteral("/libgrafcet.so");
        ASSERT_TRUE(QFile::copy(path(QStringLiteral("libgrafcet.so")), fichier));
        ASSERT_EQ(::chmod(QFile::encodeName(fichier).constData(), c.fichier), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(dossier).constData(), c.dossier), 0);
        QString nomme = fichier;
        if (c.lien) {
            const QString liens = path(QStringLiteral("cas%1/liens").arg(n));
            ASSERT_TRUE(QDir().mkpath(liens));
            ASSERT_EQ(::chmod(QFile::encodeName(liens).constData(), c.lien), 0);
            nomme = liens + QStringLiteral("/libgrafcet.so");
            ASSERT_TRUE(QFile::link(fichier, nomme));
        }
        const Machine::ProvenanceBibliotheque p = Machine::examinerProvenance(
            nomme, c.etranger ? std::vector<uid_t>{moi + 4242} : std::vector<uid_t>{0, moi});
        const QString attendu = QString::fromLatin1(c.refus);
        EXPECT_EQ(p.chemin, QFileInfo(fichier).canonicalFilePath());
        if (attendu.isEmpty()) {
            EXPECT_TRUE(p.sure()) << p.refus.toStdString();
            continue;
        }
        const QString fautif =
            QFileInfo(attendu == QLatin1String("fichier") ? fichier : dossier).canonicalFilePath();
        EXPECT_TRUE(p.refus.startsWith(fautif + QLatin1Char(' '))) << p.refus.toStdString();
        EXPECT_TRUE(p.refus.contains(QString::fromUtf8(c.texte))) << p.refus.toStdString();

        // The loader opens nothing the check refuses.
        GrafcetLibrary refusee;
        if (!c.etranger) {
            EXPECT_FALSE(refusee.load(nomme, Machine::ControleProvenance::DossierRoot));
            EXPECT_TRUE(refusee.errorText().contains(QStringLiteral(" refusée: ")))
                << refusee.errorText().toStdString();
        }
    }
    const auto absente = Machine::examinerProvenance(path(QStringLiteral("absente.so")));
    EXPECT_TRUE(absente.chemin.isEmpty());
    EXPECT_TRUE(absente.refus.endsWith(QStringLiteral(" introuvable")));
}

} // namespace
