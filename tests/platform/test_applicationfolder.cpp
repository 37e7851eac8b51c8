#include "kiosktest.h"
#include "platform/applicationfolder.h"

using namespace Movendi::Platform;

namespace {

TEST(ApplicationFolderTest, Resolve_OptionBeforeEnvironmentBeforeExecutableFolder)
{
    const QString exe = QStringLiteral("/opt/Movendi/bin");
    EXPECT_EQ(resolveApplicationFolder({QStringLiteral("movendi"), QStringLiteral("--dossier"),
                                        QStringLiteral("/srv/Kiosque/")},
                                       QStringLiteral("/env"), exe),
              QStringLiteral("/srv/Kiosque"));
    EXPECT_EQ(resolveApplicationFolder(
                  {QStringLiteral("movendi"), QStringLiteral("--dossier=/srv/K2")}, QString(), exe),
              QStringLiteral("/srv/K2"));
    EXPECT_EQ(resolveApplicationFolder({QStringLiteral("movendi")},
                                       QStringLiteral("/var/Lib/Kiosk//"), exe),
              QStringLiteral("/var/Lib/Kiosk"));
    EXPECT_EQ(resolveApplicationFolder({QStringLiteral("movendi"), QStringLiteral("--dossier")},
                                       QString(), exe),
              exe);
}

class ExchangeFolderTest : public Movendi::Test::KioskTest
{
};

TEST_F(ExchangeFolderTest, Exchange_DefaultAndConfigured)
{
    const QString ini = path(QStringLiteral("RURUDIZ.ini"));
    EXPECT_EQ(exchangeFolder(folder(), ini), folder() + QStringLiteral("/epi"));
    writeFile(QStringLiteral("RURUDIZ.ini"), "[Machine]\nCheminEpi=/srv/echange/\n");
    EXPECT_EQ(exchangeFolder(folder(), ini), QStringLiteral("/srv/echange"));
    writeFile(QStringLiteral("RURUDIZ.ini"), "[Machine]\nCheminEpi=partage\n");
    EXPECT_EQ(exchangeFolder(folder(), ini), folder() + QStringLiteral("/partage"));
}

} // namespace
