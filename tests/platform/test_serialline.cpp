#include "kiosktest.h"
#include "platform/installation.h"
#include "platform/profilefile.h"
#include "platform/qtserialline.h"
#include "platform/seams.h"
#include "pseudoterminal.h"

#include <QElapsedTimer>
#include <QThread>

#include <termios.h>

using namespace Movendi::Platform;
using Movendi::TpeSim::PseudoTerminal;

namespace {

bool waitForBytes(const SerialLine &line, int count)
{
    QElapsedTimer wall;
    wall.start();
    while (line.bytesAvailable() < count && wall.elapsed() < 2000)
        QThread::msleep(5);
    return line.bytesAvailable() >= count;
}

// Every control character of the terminal protocol, plus those a cooked tty would act on.
const QByteArray wireBytes("\x02"
                           "AA000\x10\x03\x04\x05\x06\x15\x17\x11\x13\r\n\x00\x7f\xff",
                           20);

class SerialLineTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        // As the system makes it: the line itself must set the line up.
        ASSERT_TRUE(m_pty.open(PseudoTerminal::Line::SystemDefault))
            << m_pty.errorText().toStdString();
        ASSERT_FALSE(m_pty.slavePath().isEmpty());
        mapPort(1, m_pty.slavePath());
    }
    QString ini() const { return path(QStringLiteral("RURUDIZ.ini")); }
    void mapPort(int n, const QString &device) const
    {
        ASSERT_TRUE(writeProfileString(ini(), QStringLiteral("PortCom"),
                                       QStringLiteral("Port%1").arg(n), device));
    }
    // The peer of the line, on the pseudo-terminal's master side.
    PseudoTerminal m_pty;
};

TEST(SerialSettingsTest, Parse_MsCommTexts_GiveEachField)
{
    EXPECT_EQ(SerialSettings::parse(QStringLiteral("9600,N,8,1")),
              (SerialSettings{9600, 'N', 8, 1}));
    EXPECT_EQ(SerialSettings::parse(QStringLiteral("19200,e,7,2")),
              (SerialSettings{19200, 'E', 7, 2}));
    EXPECT_EQ(SerialSettings::parse(QStringLiteral("1200,O,5,1.5")),
              (SerialSettings{1200, 'O', 5, SerialSettings::OneAndHalfStopBits}));
    EXPECT_EQ(SerialSettings::parse(QStringLiteral("110,M,6,1"))->parity, 'M');
    EXPECT_EQ(SerialSettings::parse(QStringLiteral("115200,S,8,1"))->baud, 115200);
}

TEST(SerialSettingsTest, Parse_MalformedTexts_AreRefused)
{
    for (const char *text :
         {"", "9600", "9600,N,8", "9600,N,8,1,1", "0,N,8,1", "-9600,N,8,1", "+9600,N,8,1",
          "96O0,N,8,1", "99999999999,N,8,1", "9600,X,8,1", "9600,NE,8,1", "9600,,8,1", "9600,N,4,1",
          "9600,N,9,1", "9600,N,8,0", "9600,N,8,3", "9600,N,8,1.25", "9600;N;8;1"})
        EXPECT_FALSE(SerialSettings::parse(QLatin1String(text))) << text;
}

TEST_F(SerialLineTest, DevicePath_ConfiguredPort_IsTheNamedDevice)
{
    mapPort(4, QStringLiteral("/dev/pts/77"));
    EXPECT_EQ(serialDevicePath(1, ini()), m_pty.slavePath());
    EXPECT_EQ(serialDevicePath(4, ini()), QStringLiteral("/dev/pts/77"));
}

TEST_F(SerialLineTest, DevicePath_EmptyOrAbsentEntry_IsTtySOfTheNumberLessOne)
{
    mapPort(2, QString());
    EXPECT_EQ(serialDevicePath(2, ini()), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(serialDevicePath(3, ini()), QStringLiteral("/dev/ttyS2"));
    EXPECT_EQ(serialDevicePath(12, path(QStringLiteral("none.ini"))),
              QStringLiteral("/dev/ttyS11"));
}

TEST_F(SerialLineTest, DevicePath_PortBelowOne_IsEmpty)
{
    mapPort(0, m_pty.slavePath());
    EXPECT_TRUE(serialDevicePath(0, ini()).isEmpty());
    EXPECT_TRUE(serialDevicePath(-1, ini()).isEmpty());
}

TEST_F(SerialLineTest, Open_Settings_ConfigureARawLineWithoutFlowControl)
{
    QtSerialLine line(ini());
    ASSERT_TRUE(line.open(1, QStringLiteral("19200,N,8,2"))) << line.errorText().toStdString();
    termios mode{};
    ASSERT_EQ(tcgetattr(m_pty.masterFd(), &mode), 0);
    EXPECT_EQ(cfgetospeed(&mode), speed_t(B19200));
    EXPECT_EQ(mode.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8 | CSTOPB));
    EXPECT_EQ(mode.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(mode.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(mode.c_oflag & OPOST, 0u);
}

TEST_F(SerialLineTest, Write_ProtocolBytes_ArriveUnchangedAtThePeer)
{
    QtSerialLine line(ini());
    ASSERT_TRUE(line.open(1, QStringLiteral("9600,N,8,1"))) << line.errorText().toStdString();
    EXPECT_TRUE(line.write(wireBytes));
    EXPECT_EQ(m_pty.read(wireBytes.size(), 2000), wireBytes);
}

TEST_F(SerialLineTest, Read_InputLengthZero_ReturnsEverythingReceived)
{
    QtSerialLine line(ini());
    ASSERT_TRUE(line.open(1, QStringLiteral("9600,N,8,1")));
    ASSERT_TRUE(m_pty.write(wireBytes));
    ASSERT_TRUE(waitForBytes(line, wireBytes.size()));
    EXPECT_EQ(line.bytesAvailable(), wireBytes.size());
    EXPECT_EQ(line.read(), wireBytes);
    EXPECT_EQ(line.bytesAvailable(), 0);
    EXPECT_TRUE(line.read().isEmpty());
}

TEST_F(SerialLineTest, Read_InputLengthOne_ReturnsOneCharacterPerRead)
{
    QtSerialLine line(ini());
    ASSERT_TRUE(line.open(1, QStringLiteral("9600,N,8,1")));
    line.setInputLength(1);
    ASSERT_TRUE(m_pty.write("\x05\x02"
                            "Al"));
    ASSERT_TRUE(waitForBytes(line, 4));
    EXPECT_EQ(line.read(), QByteArray("\x05"));
    EXPECT_EQ(line.read(), QByteArray("\x02"));
    EXPECT_EQ(line.bytesAvailable(), 2);
    line.setInputLength(0);
    EXPECT_EQ(line.read(), QByteArray("Al"));
}

TEST_F(SerialLineTest, Open_AbsentDeviceOrBadRequest_FailsWithAReason)
{
    mapPort(3, path(QStringLiteral("absent/ttyX")));
    QtSerialLine line(ini());
    for (auto [port, settings] :
         {std::pair{3, "9600,N,8,1"}, std::pair{0, "9600,N,8,1"}, std::pair{1, "9600,N,9,1"}}) {
        EXPECT_FALSE(line.open(port, QLatin1String(settings))) << port << settings;
        EXPECT_FALSE(line.isOpen());
        EXPECT_FALSE(line.errorText().isEmpty());
    }
    EXPECT_TRUE(line.errorText().contains(QLatin1String("9600,N,9,1")));
}

TEST_F(SerialLineTest, Open_DeviceHeldByAnotherLine_FailsUntilThatLineCloses)
{
    QtSerialLine first(ini());
    QtSerialLine second(ini());
    ASSERT_TRUE(first.open(1, QStringLiteral("9600,N,8,1")));
    EXPECT_FALSE(second.open(1, QStringLiteral("9600,N,8,1")));
    EXPECT_TRUE(second.errorText().contains(m_pty.slavePath()));
    first.close();
    EXPECT_FALSE(first.isOpen());
    ASSERT_TRUE(second.open(1, QStringLiteral("9600,N,8,1"))) << second.errorText().toStdString();
    EXPECT_TRUE(second.write("\x06"));
    EXPECT_EQ(m_pty.read(1, 2000), QByteArray("\x06"));
    EXPECT_FALSE(first.open(1, QStringLiteral("9600,N,8,1")));
}

// A pseudo-terminal keeps 8 data bits without parity whatever it is asked; Linux ttys have no
// 1.5 stop bits.
TEST_F(SerialLineTest, Open_SettingsTheDeviceRefuses_FailsAndReleasesTheDevice)
{
    QtSerialLine line(ini());
    for (const char *settings : {"9600,E,7,1", "9600,N,8,1.5"}) {
        EXPECT_FALSE(line.open(1, QLatin1String(settings))) << settings;
        EXPECT_FALSE(line.isOpen());
        EXPECT_TRUE(line.errorText().contains(QLatin1String(settings)));
    }
    QtSerialLine other(ini());
    EXPECT_TRUE(other.open(1, QStringLiteral("9600,N,8,1"))) << other.errorText().toStdString();
}

TEST_F(SerialLineTest, ClosedLine_ReadAndWrite_GiveNothingAndFail)
{
    QtSerialLine line(ini());
    ASSERT_TRUE(line.open(1, QStringLiteral("9600,N,8,1")));
    line.close();
    ASSERT_TRUE(m_pty.write("\x06"));
    EXPECT_FALSE(line.write("\x05"));
    EXPECT_FALSE(line.errorText().isEmpty());
    EXPECT_EQ(line.bytesAvailable(), 0);
    EXPECT_TRUE(line.read().isEmpty());
}

class FakeLines final : public SerialLineFactory
{
public:
    std::unique_ptr<SerialLine> create(const QString &iniPath) override
    {
        asked = iniPath;
        return nullptr;
    }
    QString asked;
};

TEST_F(SerialLineTest, Seam_InstalledFactoryThenDefault_CreateTheLines)
{
    {
        FakeLines fake;
        const InstalledSerialLines installees(&fake);
        EXPECT_EQ(serialLines().create(ini()), nullptr);
        EXPECT_EQ(fake.asked, ini());
    }
    const std::unique_ptr<SerialLine> line = serialLines().create(ini());
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->open(1, QStringLiteral("9600,N,8,1"))) << line->errorText().toStdString();
}

} // namespace
