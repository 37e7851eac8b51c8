// The staff tool's device checks: the printer simulator, the simulated LCD and the simulated
// mechanism library of a laid-out folder, and what each says when its device does not answer.
#include "kiosktest.h"
#include "platform/profilefile.h"
#include "printersim.h"

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace Movendi;

namespace {

class PeripheriquesTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        layOutApplicationFolder();
        QDir().mkpath(path(QStringLiteral("dev")));
        ASSERT_TRUE(m_imprimante.start(path(QStringLiteral("dev/com2"))));
        // Only configured ports are used: never a real /dev/ttyS device.
        regler(QStringLiteral("PortCom"), QStringLiteral("Port2"),
               path(QStringLiteral("dev/com2")));
        regler(QStringLiteral("PortCom"), QStringLiteral("Port9"),
               path(QStringLiteral("dev/absente")));
    }
    void regler(const QString &section, const QString &cle, const QString &valeur) const
    {
        Platform::writeProfileString(path(QStringLiteral("RURUDIZ.ini")), section, cle, valeur);
    }
    struct Resultat
    {
        int code = -1;
        QString sortie;
    };
    Resultat admin(QStringList arguments) const
    {
        arguments.insert(1, folder());
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(Movendi::Test::binaryPath("movendi-admin"), arguments);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAll())};
    }

    Movendi::Test::PrinterSimulator m_imprimante;
};

} // namespace

TEST_F(PeripheriquesTest, EachDeviceAnswersOrSaysWhyNot)
{
    struct Cas
    {
        QStringList arguments;
        int code;
        const char *dit;
    };
    const Cas cas[] = {
        {{QStringLiteral("imprimante"), QStringLiteral("--port"), QStringLiteral("2")},
         0,
         "sur le port 2"},
        {{QStringLiteral("imprimante"), QStringLiteral("--port"), QStringLiteral("9")},
         1,
         "dev/absente"},
        {{QStringLiteral("imprimante"), QStringLiteral("--port")}, 64, "usage"},
        {{QStringLiteral("lcd"), QStringLiteral("Bonjour"), QStringLiteral("Etage: 3")},
         0,
         "Bonjour"},
        {{QStringLiteral("automate"), QStringLiteral("--emplacement"), QStringLiteral("5"),
          QStringLiteral("--fermer"), QStringLiteral("5")},
         0,
         "OpenDoor: 0 (ok)"},
        {{QStringLiteral("automate"), QStringLiteral("--emplacement"), QStringLiteral("cinq")},
         64,
         "usage"},
    };
    for (const Cas &c : cas) {
        const Resultat r = admin(c.arguments);
        EXPECT_EQ(r.code, c.code) << c.arguments.join(' ').toStdString() << '\n'
                                  << r.sortie.toStdString();
        EXPECT_TRUE(r.sortie.contains(QLatin1String(c.dit))) << r.sortie.toStdString();
    }

    // What each device received.
    ASSERT_TRUE(m_imprimante.waitForBytes(1));
    const QString ticket = m_imprimante.text();
    EXPECT_TRUE(ticket.contains(QStringLiteral("[GRAS]TEST IMPRIMANTE\n[NORMAL]")))
        << ticket.toStdString();
    EXPECT_TRUE(ticket.contains(
        QStringLiteral("Essai d'impression\nKIOSQUE-DEMO-01\nPort 2 (19200,N,8,1)")))
        << ticket.toStdString();
    EXPECT_TRUE(ticket.endsWith(QStringLiteral("[COUPE]\n"))) << ticket.toStdString();
    EXPECT_EQ(QString::fromUtf8(readFile(QStringLiteral("epi/lcd.txt"))).split('\n').mid(0, 2),
              (QStringList{QStringLiteral("Bonjour             "),
                           QStringLiteral("Etage: 3            ")}));
    const QString appels = QString::fromUtf8(readFile(QStringLiteral("epi/grafcet-sim.log")));
    EXPECT_TRUE(appels.contains(QStringLiteral("OpenDoor(1, 5, 5) = 0"))) << appels.toStdString();
    EXPECT_TRUE(appels.contains(QStringLiteral("CloseDoor(1, 5, 5) = 0"))) << appels.toStdString();
}

TEST_F(PeripheriquesTest, MissingMechanismLibrary_Fails)
{
    regler(QStringLiteral("Machine"), QStringLiteral("Automate"), QStringLiteral("absente.so"));
    const Resultat r = admin({QStringLiteral("automate")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.sortie.contains(QStringLiteral("absente.so"))) << r.sortie.toStdString();
}
