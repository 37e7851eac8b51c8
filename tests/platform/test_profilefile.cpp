#include "kiosktest.h"
#include "platform/profilefile.h"
#include "platform/windows1252.h"

using namespace Movendi::Platform;

namespace {

class ProfileFileTest : public Movendi::Test::KioskTest
{
protected:
    QString ini() const { return path(QStringLiteral("RURUDIZ.ini")); }
    ProfileValue read(const QString &section, const QString &key) const
    {
        return readProfileString(ini(), section, key);
    }
    bool write(const QString &section, const QString &key, const QString &value) const
    {
        return writeProfileString(ini(), section, key, value);
    }
};

TEST_F(ProfileFileTest, Read_SectionsAndKeysInAnyCase_FindTheValue)
{
    writeFile(QStringLiteral("RURUDIZ.ini"),
              "[Machine]\r\nIntervalControl = 12 \r\n[TVA]\r\nTaux=5,5\r\n");
    EXPECT_EQ(read(QStringLiteral("machine"), QStringLiteral("INTERVALCONTROL")).value,
              QStringLiteral("12"));
    EXPECT_EQ(read(QStringLiteral("tva"), QStringLiteral("taux")).value, QStringLiteral("5,5"));
}

TEST_F(ProfileFileTest, Read_AbsentFileSectionKeyAndEmptyValue_AreToldApart)
{
    EXPECT_EQ(read(QStringLiteral("TVA"), QStringLiteral("Taux")).status, ProfileStatus::Absent);
    writeFile(QStringLiteral("RURUDIZ.ini"), "[Base de donnée]\nTicket=\nNom=DB\n; Serveur=X\n");
    const ProfileValue empty = read(QStringLiteral("Base de donnée"), QStringLiteral("Ticket"));
    EXPECT_EQ(empty.status, ProfileStatus::Found);
    EXPECT_TRUE(empty.value.isEmpty());
    EXPECT_EQ(read(QStringLiteral("Base de donnée"), QStringLiteral("Serveur")).status,
              ProfileStatus::Absent);
    EXPECT_EQ(read(QStringLiteral("TVA"), QStringLiteral("Nom")).status, ProfileStatus::Absent);
}

TEST_F(ProfileFileTest, Read_LongValueAndQuotes_CutAt254AndUnquoted)
{
    writeFile(QStringLiteral("RURUDIZ.ini"),
              "[S]\nLong=" + QByteArray(300, 'x') + "\nQuoted=\"  spaced  \"\nHalf=\"open\n");
    EXPECT_EQ(read(QStringLiteral("S"), QStringLiteral("Long")).value.size(), 254);
    EXPECT_EQ(read(QStringLiteral("S"), QStringLiteral("Quoted")).value,
              QStringLiteral("  spaced  "));
    EXPECT_EQ(read(QStringLiteral("S"), QStringLiteral("Half")).value, QStringLiteral("\"open"));
}

// Files written by Windows Notepad are in the code page; files edited on Linux are UTF-8.
TEST_F(ProfileFileTest, Read_AccentedSectionInWindows1252AndUtf8_BothFound)
{
    const QString content =
        QStringLiteral("[Base de donnée]\r\nNom=Dépôt\r\n[Télécollecte]\r\nDebut=03:00\r\n");
    for (const QByteArray &bytes : {toWindows1252(content), content.toUtf8(),
                                    QByteArray("\xEF\xBB\xBF") + content.toUtf8()}) {
        writeFile(QStringLiteral("RURUDIZ.ini"), bytes);
        EXPECT_EQ(read(QStringLiteral("Base de donnée"), QStringLiteral("Nom")).value,
                  QStringLiteral("Dépôt"));
        EXPECT_EQ(read(QStringLiteral("TÉLÉCOLLECTE"), QStringLiteral("Debut")).value,
                  QStringLiteral("03:00"));
    }
}

TEST_F(ProfileFileTest, Write_ExistingFile_KeepsEveryOtherLine)
{
    const QByteArray before =
        "; kiosk settings\r\n[Machine]\r\nLocation=Hall A\r\nIntervalControl=24\r\n\r\n"
        "[TVA]\r\nTaux=19,6\r\n";
    writeFile(QStringLiteral("RURUDIZ.ini"), before);
    ASSERT_TRUE(
        write(QStringLiteral("machine"), QStringLiteral("intervalcontrol"), QStringLiteral("6")));
    ASSERT_TRUE(
        write(QStringLiteral("Machine"), QStringLiteral("CheminEpi"), QStringLiteral("/srv/epi")));
    ASSERT_TRUE(write(QStringLiteral("Email"), QStringLiteral("Port"), QStringLiteral("2525")));
    EXPECT_EQ(
        readFile(QStringLiteral("RURUDIZ.ini")),
        QByteArray("; kiosk settings\r\n[Machine]\r\nLocation=Hall A\r\nintervalcontrol=6\r\n"
                   "CheminEpi=/srv/epi\r\n\r\n[TVA]\r\nTaux=19,6\r\n\r\n[Email]\r\nPort=2525\r\n"));
}

TEST_F(ProfileFileTest, Write_NoFile_CreatesItInUtf8)
{
    ASSERT_TRUE(writeProfileString(path(QStringLiteral("RUNAUTO.INI")),
                                   QStringLiteral("Application"), QStringLiteral("Running"),
                                   QStringLiteral("OUI")));
    EXPECT_EQ(readFile(QStringLiteral("RUNAUTO.INI")), QByteArray("[Application]\nRunning=OUI\n"));
    ASSERT_TRUE(
        write(QStringLiteral("Télécollecte"), QStringLiteral("Fin"), QStringLiteral("02:45")));
    EXPECT_EQ(readFile(QStringLiteral("RURUDIZ.ini")),
              QStringLiteral("[Télécollecte]\nFin=02:45\n").toUtf8());
}

TEST_F(ProfileFileTest, Write_Windows1252File_StaysInItsEncodingUnlessACharacterDoesNotFit)
{
    writeFile(QStringLiteral("RURUDIZ.ini"),
              toWindows1252(QStringLiteral("[Base de donnée]\r\nNom=DB\r\n")));
    ASSERT_TRUE(write(QStringLiteral("Base de donnée"), QStringLiteral("Serveur"),
                      QStringLiteral("Sérveur-1")));
    EXPECT_EQ(readFile(QStringLiteral("RURUDIZ.ini")),
              toWindows1252(QStringLiteral("[Base de donnée]\r\nNom=DB\r\nServeur=Sérveur-1\r\n")));

    ASSERT_TRUE(
        write(QStringLiteral("Machine"), QStringLiteral("Location"), QStringLiteral("Ωmega")));
    EXPECT_EQ(readFile(QStringLiteral("RURUDIZ.ini")),
              QStringLiteral(
                  "[Base de "
                  "donnée]\r\nNom=DB\r\nServeur=Sérveur-1\r\n\r\n[Machine]\r\nLocation=Ωmega\r\n")
                  .toUtf8());
    EXPECT_EQ(read(QStringLiteral("Base de donnée"), QStringLiteral("Serveur")).value,
              QStringLiteral("Sérveur-1"));
}

TEST_F(ProfileFileTest, ReadAndWrite_FileNameInOtherCase_UseTheFileOnDisk)
{
    writeFile(QStringLiteral("rurudiz.INI"), "[TVA]\nTaux=7\n");
    EXPECT_EQ(read(QStringLiteral("TVA"), QStringLiteral("Taux")).value, QStringLiteral("7"));
    ASSERT_TRUE(write(QStringLiteral("TVA"), QStringLiteral("Taux"), QStringLiteral("8")));
    EXPECT_FALSE(QFile::exists(ini()));
    EXPECT_EQ(readFile(QStringLiteral("rurudiz.INI")), QByteArray("[TVA]\nTaux=8\n"));
}

TEST_F(ProfileFileTest, Write_FolderMissing_FailsWithAReason)
{
    QString error;
    EXPECT_FALSE(writeProfileString(path(QStringLiteral("absent/RUNAUTO.INI")), QStringLiteral("A"),
                                    QStringLiteral("B"), QStringLiteral("C"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ProfileIntTest, Parse_LikeTheWindowsIntegerRead)
{
    EXPECT_EQ(parseProfileInt(QStringLiteral("40000")), 40000);
    EXPECT_EQ(parseProfileInt(QStringLiteral("-12")), -12);
    EXPECT_EQ(parseProfileInt(QStringLiteral("+7")), 7);
    EXPECT_EQ(parseProfileInt(QStringLiteral("15 heures")), 15);
    EXPECT_EQ(parseProfileInt(QStringLiteral("abc")), 0);
    EXPECT_EQ(parseProfileInt(QStringLiteral("0x1F")), 31);
    EXPECT_EQ(parseProfileInt(QStringLiteral("4294967297")), 1); // wraps at 32 bits
}

TEST_F(ProfileFileTest, ReadInt_EmptyOrAbsent_GivesTheDefault)
{
    writeFile(QStringLiteral("RURUDIZ.ini"), "[PortCom]\nPortTPE=\nPortModem=4\n");
    EXPECT_EQ(readProfileInt(ini(), QStringLiteral("PortCom"), QStringLiteral("PortTPE"), 1), 1);
    EXPECT_EQ(readProfileInt(ini(), QStringLiteral("PortCom"), QStringLiteral("Absent"), 9), 9);
    EXPECT_EQ(readProfileInt(ini(), QStringLiteral("PortCom"), QStringLiteral("PortModem"), 3), 4);
}

TEST(Windows1252Test, EveryByte_SurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    bool ok = false;
    EXPECT_EQ(toWindows1252(fromWindows1252(all), &ok), all);
    EXPECT_TRUE(ok);
    EXPECT_EQ(fromWindows1252("\x80\xE9\x9C"), QStringLiteral("€éœ"));
}

} // namespace
