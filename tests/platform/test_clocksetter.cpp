#include "platform/clocksetter.h"
#include "platform/installation.h"
#include "platform/seams.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

using namespace Movendi::Platform;

namespace {

// The real back-end with its system call replaced: nothing here can move the host's clock.
class ClockSetterTest : public ::testing::Test
{
protected:
    QString ini() const { return m_dir.filePath(QStringLiteral("RURUDIZ.ini")); }
    void writeIni(const QByteArray &content) const
    {
        QFile file(ini());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    SystemClockSetter stubbed(int answer = 0)
    {
        return SystemClockSetter([this, answer](const timespec &ts) {
            m_calls.push_back(ts);
            return answer;
        });
    }

    QTemporaryDir m_dir;
    std::vector<timespec> m_calls;
    const QDateTime m_moment{QDate(2024, 3, 14), QTime(9, 30, 15, 250)};
};

TEST_F(ClockSetterTest, FlagOui_SetsTheClockToThatMoment)
{
    writeIni("[Machine]\r\nReglerHorloge=OUI\r\n");
    SystemClockSetter setter = stubbed();
    EXPECT_TRUE(setter.setDateTime(m_moment, ini()));
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(qint64(m_calls[0].tv_sec), m_moment.toSecsSinceEpoch());
    EXPECT_EQ(m_calls[0].tv_nsec, 250000000L);
}

TEST_F(ClockSetterTest, SectionAndKeyInAnyCase_AreFound)
{
    writeIni("[machine]\nreglerhorloge = OUI\n");
    SystemClockSetter setter = stubbed();
    EXPECT_TRUE(setter.setDateTime(m_moment, ini()));
    EXPECT_EQ(m_calls.size(), 1u);
}

TEST_F(ClockSetterTest, SystemRefuses_GivesFalse)
{
    writeIni("[Machine]\r\nReglerHorloge=OUI\r\n");
    SystemClockSetter setter = stubbed(-1);
    EXPECT_FALSE(setter.setDateTime(m_moment, ini()));
    EXPECT_EQ(m_calls.size(), 1u);
}

TEST_F(ClockSetterTest, FlagAbsentOrNotExactlyOui_TouchesNothing)
{
    SystemClockSetter setter = stubbed();
    EXPECT_FALSE(setter.setDateTime(m_moment, ini())); // no file
    for (const QByteArray &content : {QByteArray("[Machine]\r\nIntervalControl=6\r\n"),
                                      QByteArray("[Machine]\r\nReglerHorloge=\r\n"),
                                      QByteArray("[Machine]\r\nReglerHorloge=NON\r\n"),
                                      QByteArray("[Machine]\r\nReglerHorloge=oui\r\n"),
                                      QByteArray("[Machine]\r\nReglerHorloge=Oui\r\n"),
                                      QByteArray("[Machine]\r\nReglerHorloge=OUIS\r\n"),
                                      QByteArray("[PortCom]\r\nReglerHorloge=OUI\r\n")}) {
        writeIni(content);
        EXPECT_FALSE(setter.setDateTime(m_moment, ini())) << content.constData();
    }
    EXPECT_TRUE(m_calls.empty());
}

TEST_F(ClockSetterTest, InvalidMoment_TouchesNothing)
{
    writeIni("[Machine]\r\nReglerHorloge=OUI\r\n");
    SystemClockSetter setter = stubbed();
    EXPECT_FALSE(setter.setDateTime(QDateTime(), ini()));
    EXPECT_TRUE(m_calls.empty());
}

TEST_F(ClockSetterTest, RealSystemCall_FlagOff_GivesFalse)
{
    // Only with the flag off; the moment is now, so even a faulty setter would not move the clock.
    SystemClockSetter real;
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_FALSE(real.setDateTime(now, ini()));
    writeIni("[Machine]\r\nReglerHorloge=NON\r\n");
    EXPECT_FALSE(real.setDateTime(now, ini()));
    writeIni("[Machine]\r\nReglerHorloge=oui\r\n");
    EXPECT_FALSE(real.setDateTime(now, ini()));
}

TEST_F(ClockSetterTest, Recording_KeepsEveryCall)
{
    RecordingClockSetter recorder;
    EXPECT_TRUE(recorder.setDateTime(m_moment, ini()));
    EXPECT_TRUE(recorder.setDateTime(m_moment.addSecs(60), QStringLiteral("/x.ini")));
    ASSERT_EQ(recorder.calls().size(), 2);
    EXPECT_EQ(recorder.calls().at(0).local, m_moment);
    EXPECT_EQ(recorder.calls().at(0).iniPath, ini());
    EXPECT_EQ(recorder.calls().at(1).local, m_moment.addSecs(60));
    EXPECT_EQ(recorder.calls().at(1).iniPath, QStringLiteral("/x.ini"));
    recorder.clear();
    EXPECT_TRUE(recorder.calls().isEmpty());
}

TEST_F(ClockSetterTest, Seam_InstallsAndRestoresTheSystemSetter)
{
    EXPECT_NE(dynamic_cast<SystemClockSetter *>(&clockSetter()), nullptr);
    {
        RecordingClockSetter recorder;
        const InstalledClockSetter installe(&recorder);
        EXPECT_EQ(&clockSetter(), &recorder);
        EXPECT_TRUE(clockSetter().setDateTime(m_moment, ini()));
        EXPECT_EQ(recorder.calls().size(), 1);
    }
    EXPECT_NE(dynamic_cast<SystemClockSetter *>(&clockSetter()), nullptr);
}

} // namespace
