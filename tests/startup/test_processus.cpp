// The kiosk program as an operator starts it: a separate process on a folder laid out by the
// staff tool, on the offscreen platform or on a private X server.
#include "brokermqtt.h"
#include "config/reglagesflotte.h"
#include "helperprocess.h"
#include "kiosktest.h"
#include "notificationsocket.h"
#include "platform/profilefile.h"
#include "platform/servicenotifier.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

using namespace Movendi;

namespace {

// The state letter of /proc/PID/stat ('R', 'S', 'T' stopped...), or 0.
char etatProcessus(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray ligne = stat.readAll();
    // After the command's name, in parentheses that may hold spaces.
    const qsizetype fin = ligne.lastIndexOf(')');
    return fin >= 0 && fin + 2 < ligne.size() ? ligne.at(fin + 2) : 0;
}

class ProcessTest : public Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        layOutApplicationFolder();
        Movendi::Test::eloignerNuit(path(QStringLiteral("RURUDIZ.ini")));
    }
    void TearDown() override
    {
        for (QProcess *p : {&m_kiosk, &m_other, &m_xserver}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
        KioskTest::TearDown();
    }

    QString running() const
    {
        const auto flag =
            Platform::readProfileString(path(QStringLiteral("RUNAUTO.INI")),
                                        QStringLiteral("Application"), QStringLiteral("Running"));
        return flag.status == Platform::ProfileStatus::Found ? flag.value : QString();
    }

    // extra: NAME=VALUE entries.
    void startKiosk(QProcess &process, const QString &platform, const QStringList &extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &entry : extra)
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        env.insert(QStringLiteral("MOVENDI_BOITES"), path(QStringLiteral("boites.txt")));
        if (!m_display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), m_display);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(Movendi::Test::binaryPath("movendi"),
                      {QStringLiteral("--dossier"), folder()});
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    bool waitForRunning(const QString &value, int ms = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (running() == value)
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    // A private X server; its display number comes back on the pipe given by -displayfd.
    void startXServer()
    {
        // The server dies with the test, whatever ends it.
        m_xserver.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_xserver.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                 QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                                 QStringLiteral("-screen"), QStringLiteral("0"),
                                                 QStringLiteral("1024x768x24")});
        ASSERT_TRUE(m_xserver.waitForStarted(5000)) << "Xvfb is needed for the X11 tests";
        QByteArray number;
        QElapsedTimer t;
        t.start();
        while (!number.contains('\n') && t.elapsed() < 10000 && m_xserver.waitForReadyRead(500))
            number += m_xserver.readAllStandardOutput();
        ASSERT_TRUE(number.contains('\n')) << "Xvfb did not report its display";
        m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    }

    void showOtherWindow(const QString &caption)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), m_display);
        m_other.setProcessEnvironment(env);
        m_other.start(Movendi::Test::binaryPath("xwindow"), {caption});
        ASSERT_TRUE(m_other.waitForStarted(5000));
        ASSERT_TRUE(m_other.waitForReadyRead(10000));
        ASSERT_TRUE(m_other.readAllStandardOutput().contains("ready"));
    }

    int xdotool(const QStringList &args)
    {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), args);
        if (!tool.waitForFinished(10000))
            return -1;
        return tool.exitCode();
    }

    QProcess m_kiosk;
    QProcess m_other;
    QProcess m_xserver;
    QString m_display;
};

TEST_F(ProcessTest, Offscreen_RunsUntilAskedToStopAndWritesTheEndFlag)
{
    startKiosk(m_kiosk, QStringLiteral("offscreen"));
    ASSERT_TRUE(waitForRunning(QStringLiteral("OUI")));
    ::kill(pid_t(m_kiosk.processId()), SIGTERM);
    ASSERT_TRUE(m_kiosk.waitForFinished(10000));
    EXPECT_EQ(m_kiosk.exitCode(), 0);
    EXPECT_EQ(running(), QStringLiteral("NON"));
}

// With a broker in its configuration the kiosk says it is there, retained; killed, the broker
// says it is gone for it; stopped in order, it says so itself.
TEST_F(ProcessTest, Fleet_OnlineThenOfflineWhetherKilledOrStopped)
{
    Movendi::Test::BrokerMqtt broker;
    ASSERT_TRUE(broker.start());
    const QString ini = path(QStringLiteral("RURUDIZ.ini"));
    const QString section = QStringLiteral("Flotte");
    ASSERT_TRUE(Platform::writeProfileString(ini, section, QStringLiteral("Serveur"),
                                             QStringLiteral("127.0.0.1")));
    ASSERT_TRUE(Platform::writeProfileString(ini, section, QStringLiteral("Port"),
                                             QString::number(broker.port())));
    ASSERT_TRUE(Platform::writeProfileString(ini, section, QStringLiteral("Battement"),
                                             QStringLiteral("5")));
    const QString identite = Platform::readProfileString(ini, QStringLiteral("Machine"),
                                                         QStringLiteral("Indentité Machine"))
                                 .value;
    const QString sujet =
        QStringLiteral("movendi/v1/%1/presence").arg(Config::nomKiosque(identite));
    for (const int signal : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(signal);
        startKiosk(m_kiosk, QStringLiteral("offscreen"));
        EXPECT_TRUE(Movendi::Test::HelperProcess::waitUntil(
            [&] { return broker.recu(sujet, 1, 1) == QStringList{QStringLiteral("en-ligne")}; },
            20000))
            << broker.log().toStdString();
        ::kill(pid_t(m_kiosk.processId()), signal);
        ASSERT_TRUE(m_kiosk.waitForFinished(10000));
        // Within one and a half keep-alives (Battement 5 s), as the will promises.
        EXPECT_TRUE(Movendi::Test::HelperProcess::waitUntil(
            [&] { return broker.recu(sujet, 1, 1) == QStringList{QStringLiteral("hors-ligne")}; },
            7500));
    }
}

TEST_F(ProcessTest, Offscreen_SecondCopyOnTheSameFolder_EndsAtOnce)
{
    startKiosk(m_kiosk, QStringLiteral("offscreen"));
    ASSERT_TRUE(waitForRunning(QStringLiteral("OUI")));
    QProcess second;
    startKiosk(second, QStringLiteral("offscreen"));
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 3);
    EXPECT_EQ(running(), QStringLiteral("OUI"));
    EXPECT_TRUE(journalRows().isEmpty());
}

TEST_F(ProcessTest, X11_WindowOfAnotherProgramCaptionedAcceuil_StopsStartUpTouchingNothing)
{
    startXServer();
    showOtherWindow(QStringLiteral("ACCEUIL - autre programme"));
    const QStringList before = QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const QDateTime journalTime = QFileInfo(path(QStringLiteral("MAINTEN.db"))).lastModified();

    startKiosk(m_kiosk, QStringLiteral("xcb"));
    ASSERT_TRUE(m_kiosk.waitForFinished(10000));
    EXPECT_EQ(m_kiosk.exitCode(), 3);
    EXPECT_EQ(QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("epi/grafcet-sim.log"))));
    EXPECT_EQ(QFileInfo(path(QStringLiteral("MAINTEN.db"))).lastModified(), journalTime);
}

TEST_F(ProcessTest, X11_OtherCaptions_DoNotStopStartUpAndKeyFEndsTheKiosk)
{
    startXServer();
    showOtherWindow(QStringLiteral("Calculatrice"));
    startKiosk(m_kiosk, QStringLiteral("xcb"));
    ASSERT_TRUE(waitForRunning(QStringLiteral("OUI")));
    // Give the home screen the keyboard once it is mapped (the flag is written before the
    // screens are loaded), then type as a keyboard does (XTEST).
    int focus = -1;
    for (int essai = 0; essai < 50 && focus != 0; ++essai) {
        focus = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), QStringLiteral("^acceuil$"),
                         QStringLiteral("windowfocus"), QStringLiteral("--sync")});
        if (focus != 0)
            QThread::msleep(100);
    }
    ASSERT_EQ(focus, 0);
    ASSERT_EQ(xdotool({QStringLiteral("key"), QStringLiteral("f")}), 0);
    ASSERT_TRUE(m_kiosk.waitForFinished(10000));
    EXPECT_EQ(m_kiosk.exitCode(), 0);
    EXPECT_EQ(running(), QStringLiteral("NON"));
}

// The processes whose parent is pid.
QList<pid_t> childrenOf(qint64 pid)
{
    QList<pid_t> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid ...: the name may hold spaces, never a ')' at its end.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == pid)
            children << pid_t(entry.toLongLong());
    }
    return children;
}

TEST_F(ProcessTest, UnderItsUnit_ReadyThenPingsFromTheEventLoopThenStopping)
{
    // As the unit starts it: movendi-session as the main process (WATCHDOG_PID names it), a
    // compositor that starts the kiosk as its child, the manager's socket and a watchdog of
    // 400 ms (a ping every 200 ms). Under the unit's PAM session systemd only hears the main
    // process: every message must come from it. The compositor must not find the socket (Xorg
    // would say it is ready before the kiosk is).
    Movendi::Test::NotificationSocket manager(Movendi::Test::NotificationSocket::Kind::Abstract);
    ASSERT_TRUE(manager.isBound());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("MOVENDI_BOITES"), path(QStringLiteral("boites.txt")));
    env.insert(QStringLiteral("NOTIFY_SOCKET"), manager.name());
    env.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("400000"));
    m_kiosk.setProcessEnvironment(env);
    m_kiosk.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_kiosk.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("export WATCHDOG_PID=$$; exec \"$0\" \"$@\""),
         Movendi::Test::binaryPath("movendi-session"), QStringLiteral("/bin/sh"),
         QStringLiteral("-c"),
         QStringLiteral("if [ -n \"$NOTIFY_SOCKET\" ]; then exit 99; fi; \"$@\"; exit $?"),
         QStringLiteral("compositor"), Movendi::Test::binaryPath("movendi"),
         QStringLiteral("--dossier"), folder()});
    ASSERT_TRUE(m_kiosk.waitForStarted(5000));
    const qint64 session = m_kiosk.processId();

    const std::optional<QByteArray> first = manager.next(20000);
    ASSERT_TRUE(first.has_value())
        << "no word from the kiosk; session "
        << (m_kiosk.state() == QProcess::NotRunning ? m_kiosk.exitCode() : -1);
    EXPECT_EQ(*first, "READY=1");
    EXPECT_EQ(manager.lastSender(), session);
    EXPECT_EQ(running(), QStringLiteral("OUI")) << "ready before start-up ended";
    const QList<pid_t> compositor = childrenOf(session);
    ASSERT_EQ(compositor.size(), 1);
    const QList<pid_t> kiosks = childrenOf(compositor.first());
    ASSERT_EQ(kiosks.size(), 1);
    const pid_t kiosk = kiosks.first();

    // Regular pings: about ten in two seconds, never two watchdog intervals apart.
    QElapsedTimer since;
    since.start();
    QElapsedTimer gap;
    gap.start();
    int pings = 0;
    qint64 longestGap = 0;
    while (since.elapsed() < 2000) {
        const std::optional<QByteArray> message = manager.next(1000);
        if (!message)
            continue;
        EXPECT_EQ(*message, "WATCHDOG=1");
        EXPECT_EQ(manager.lastSender(), session);
        ++pings;
        longestGap = std::max(longestGap, gap.restart());
    }
    EXPECT_GE(pings, 6);
    EXPECT_LT(longestGap, 800);

    // A frozen kiosk stops pinging: the manager would restart it.
    ASSERT_EQ(::kill(kiosk, SIGSTOP), 0);
    // Once it shows stopped, a ping it sent just before is already in the socket: drained.
    ASSERT_TRUE(
        Movendi::Test::HelperProcess::waitUntil([&] { return etatProcessus(kiosk) == 'T'; }, 5000));
    manager.drain();
    // Anyone on the machine can reach the relay's abstract socket: a process outside the
    // session (this test) keeping the frozen kiosk alive is not heard.
    QString relais;
    {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(kiosk));
        ASSERT_TRUE(environ.open(QIODevice::ReadOnly));
        for (const QByteArray &v : environ.readAll().split('\0')) {
            if (v.startsWith(QByteArray(Platform::SessionNotifySocketVariable) + '='))
                relais = QString::fromLocal8Bit(
                    v.mid(qstrlen(Platform::SessionNotifySocketVariable) + 1));
        }
    }
    ASSERT_FALSE(relais.isEmpty());
    QProcessEnvironment etranger;
    etranger.insert(QStringLiteral("NOTIFY_SOCKET"), relais);
    Platform::ServiceNotifier intrus(etranger);
    ASSERT_TRUE(intrus.enabled());
    EXPECT_TRUE(intrus.send("WATCHDOG=1"));
    EXPECT_FALSE(manager.next(1500).has_value()) << "pings from a frozen kiosk, or a stranger's";
    ASSERT_EQ(::kill(kiosk, SIGCONT), 0);
    const std::optional<QByteArray> again = manager.next(2000);
    ASSERT_TRUE(again.has_value()) << "no ping once running again";
    EXPECT_EQ(*again, "WATCHDOG=1");

    // The manager stops the main process: the kiosk ends in order, says so, then the session.
    ASSERT_EQ(::kill(pid_t(session), SIGTERM), 0);
    ASSERT_TRUE(m_kiosk.waitForFinished(10000));
    EXPECT_EQ(m_kiosk.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_kiosk.exitCode(), 0);
    QByteArrayList rest = manager.drain();
    ASSERT_FALSE(rest.isEmpty()) << "no STOPPING=1";
    EXPECT_EQ(rest.takeLast(), "STOPPING=1");
    EXPECT_EQ(manager.lastSender(), session);
    for (const QByteArray &message : rest)
        EXPECT_EQ(message, "WATCHDOG=1");
    EXPECT_EQ(running(), QStringLiteral("NON"));
}

} // namespace
