#include "dossierapplication.h"
#include "kiosktest.h"
#include "platform/profilefile.h"
#include "startup/journal.h"

#include <QFileInfo>

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

    Startup::JournaliserErreur(QStringLiteral("Test"), QStringLiteral("ligne"));
    EXPECT_EQ(journalRows().size(), 1);
}

TEST_F(InitTest, InitAgain_KeepsConfigurationAndJournal)
{
    layOutApplicationFolder();
    Platform::writeProfileString(path(QStringLiteral("RURUDIZ.ini")), QStringLiteral("Machine"),
                                 QStringLiteral("Location"), QStringLiteral("Quai 3"));
    Startup::JournaliserErreur(QStringLiteral("Test"), QStringLiteral("gardée"));
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

TEST_F(InitTest, Init_WithoutTheMechanismLibrary_Fails)
{
    const Admin::InitReport report =
        Admin::initialiserDossier(folder(), path(QStringLiteral("absent.so")));
    EXPECT_FALSE(report.ok);
    EXPECT_TRUE(report.lines.join(QLatin1Char('\n')).contains(QStringLiteral("absent.so")));
}

} // namespace
