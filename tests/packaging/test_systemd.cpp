// The systemd files that start the kiosk at boot, checked by systemd's own tools: each unit as
// systemd-analyze verify reads it, the account and the folder as systemd-sysusers and
// systemd-tmpfiles make them in a scratch root.
#include "kiosktest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>

#include <unistd.h>

namespace {

QString packagingFile(const char *name)
{
    return QStringLiteral(MOVENDI_SOURCE_DIR "/packaging/systemd/") + QLatin1String(name);
}

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &fileName, const QByteArray &content)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

struct ToolRun
{
    int exitCode = -1;
    QString output; // standard output and error
};

ToolRun runTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    ToolRun result;
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit) {
        result.output = program + QStringLiteral(": ") + tool.errorString();
        return result;
    }
    result.exitCode = tool.exitCode();
    result.output = QString::fromLocal8Bit(tool.readAll());
    return result;
}

const char *const units[] = {"movendi.service", "movendi-x11.service"};

// The units as installed, but for their ExecStart: verify needs its programs to exist, so the
// kiosk and its session runner are the ones built here and the session's program (cage, xinit) a
// stand-in.
class SystemdUnitTest : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        for (const char *program : {"cage", "xinit"}) {
            const QString standIn = m_dir.filePath(QLatin1String(program));
            ASSERT_TRUE(writeAll(standIn, "#!/bin/sh\nexit 0\n"));
            ASSERT_TRUE(QFile::setPermissions(standIn, QFile::ReadOwner | QFile::WriteOwner |
                                                           QFile::ExeOwner | QFile::ReadOther |
                                                           QFile::ExeOther));
        }
        // The units name each other (Conflicts=): both are in the folder verify searches.
        for (const char *unit : units)
            ASSERT_NO_FATAL_FAILURE(writeRunnableCopy(unit));
    }

    void writeRunnableCopy(const char *unit)
    {
        const QByteArray original = readAll(packagingFile(unit));
        ASSERT_FALSE(original.isEmpty()) << unit;
        QList<QByteArray> lines = original.split('\n');
        int execStarts = 0;
        for (QByteArray &line : lines) {
            if (!line.startsWith("ExecStart="))
                continue;
            ++execStarts;
            const QList<QByteArray> words = line.mid(int(qstrlen("ExecStart="))).split(' ');
            ASSERT_GE(words.size(), 2) << line.toStdString();
            ASSERT_EQ(words[0], "/usr/bin/movendi-session") << line.toStdString();
            ASSERT_TRUE(words[1] == "/usr/bin/cage" || words[1] == "/usr/bin/xinit")
                << line.toStdString();
            ASSERT_TRUE(words.contains("/usr/bin/movendi")) << line.toStdString();
            const QString session = QFileInfo(QString::fromLatin1(words[1])).fileName();
            line.replace(words[1], QFile::encodeName(m_dir.filePath(session)));
            for (const char *program : {"movendi-session", "movendi"})
                line.replace("/usr/bin/" + QByteArray(program) + ' ',
                             QFile::encodeName(Movendi::Test::binaryPath(program)) + ' ');
        }
        ASSERT_EQ(execStarts, 1) << unit;
        ASSERT_TRUE(writeAll(m_dir.filePath(QLatin1String(unit)), lines.join('\n')));
    }

    QTemporaryDir m_dir;
};

TEST_P(SystemdUnitTest, Verify_NoWarningAboutTheUnit)
{
    const QString unit = m_dir.filePath(QLatin1String(GetParam()));
    const ToolRun verify = runTool(QStringLiteral("systemd-analyze"),
                                   {QStringLiteral("verify"), QStringLiteral("--man=no"), unit});
    ASSERT_NE(verify.exitCode, -1) << qPrintable(verify.output) << " (package systemd)";
    EXPECT_EQ(verify.exitCode, 0) << qPrintable(verify.output);
    // Other units of the host may have their own warnings; none may be about the kiosk's.
    for (const QString &line : verify.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_FALSE(line.contains(QLatin1String("movendi"))) << qPrintable(line);
}

INSTANTIATE_TEST_SUITE_P(Units, SystemdUnitTest, ::testing::ValuesIn(units),
                         [](const ::testing::TestParamInfo<const char *> &parameter) {
                             return QString::fromLatin1(parameter.param)
                                 .replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")),
                                          QStringLiteral("_"))
                                 .toStdString();
                         });

// systemd's own exposure score of each unit's sandbox, against the most each may have.
TEST(SystemdSecurityTest, ExposureOfEachUnitWithinItsLimit)
{
    const struct
    {
        const char *unit;
        double plafond;
    } limites[] = {
        {"movendi.service", 4.0}, {"movendi-x11.service", 4.0}, {"movendi-flotte.service", 2.5}};
    for (const auto &l : limites) {
        const ToolRun analyse = runTool(
            QStringLiteral("systemd-analyze"),
            {QStringLiteral("security"), QStringLiteral("--offline=yes"),
             QStringLiteral("--no-pager"),
             QStringLiteral("--threshold=%1").arg(qRound(l.plafond * 10)), packagingFile(l.unit)});
        ASSERT_NE(analyse.exitCode, -1) << qPrintable(analyse.output) << " (package systemd)";
        const QRegularExpressionMatch niveau =
            QRegularExpression(QStringLiteral("Overall exposure level for %1: (\\d+\\.\\d)")
                                   .arg(QRegularExpression::escape(QLatin1String(l.unit))))
                .match(analyse.output);
        ASSERT_TRUE(niveau.hasMatch()) << qPrintable(analyse.output);
        const double exposition = niveau.captured(1).toDouble();
        std::printf("%s: exposure %.1f (at most %.1f)\n", l.unit, exposition, l.plafond);
        EXPECT_LE(exposition, l.plafond) << l.unit;
        EXPECT_EQ(analyse.exitCode, 0) << qPrintable(analyse.output);
    }
}

TEST(SystemdAccountTest, SysusersAndTmpfiles_TheAccountInItsGroupsOwnsTheFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("etc")));
    const ToolRun sysusers =
        runTool(QStringLiteral("systemd-sysusers"),
                {QStringLiteral("--root=") + root.path(), packagingFile("movendi.sysusers")});
    ASSERT_EQ(sysusers.exitCode, 0) << qPrintable(sysusers.output);
    EXPECT_FALSE(sysusers.output.contains(QLatin1String("movendi.sysusers")))
        << qPrintable(sysusers.output);

    const QString passwd = QString::fromUtf8(readAll(root.filePath(QStringLiteral("etc/passwd"))));
    const QRegularExpressionMatch account =
        QRegularExpression(QStringLiteral("^movendi:x:(\\d+):(\\d+):[^:]*:/var/lib/movendi:(.*)$"),
                           QRegularExpression::MultilineOption)
            .match(passwd);
    ASSERT_TRUE(account.hasMatch()) << qPrintable(passwd);
    EXPECT_LT(account.captured(1).toInt(), 1000) << "a system account";
    EXPECT_TRUE(account.captured(3).endsWith(QLatin1String("nologin")));
    const QString group = QString::fromUtf8(readAll(root.filePath(QStringLiteral("etc/group"))));
    // Only the groups of its devices: the display and input come through logind.
    for (const char *name : {"dialout", "lp", "video", "input"}) {
        const bool voulu = qstrcmp(name, "dialout") == 0 || qstrcmp(name, "lp") == 0;
        EXPECT_EQ(
            group.contains(QRegularExpression(QLatin1Char('^') + QLatin1String(name) +
                                                  QStringLiteral(":x:\\d+:(.*,)?movendi(,|$)"),
                                              QRegularExpression::MultilineOption)),
            voulu)
            << name << '\n'
            << qPrintable(group);
    }

    if (::geteuid() != 0)
        GTEST_SKIP() << "a folder owned by another account is made by root only";
    const ToolRun tmpfiles =
        runTool(QStringLiteral("systemd-tmpfiles"),
                {QStringLiteral("--create"), QStringLiteral("--root=") + root.path(),
                 packagingFile("movendi.tmpfiles")});
    ASSERT_EQ(tmpfiles.exitCode, 0) << qPrintable(tmpfiles.output);
    const QFileInfo folder(root.filePath(QStringLiteral("var/lib/movendi")));
    ASSERT_TRUE(folder.isDir());
    EXPECT_EQ(folder.ownerId(), account.captured(1).toUInt());
    EXPECT_EQ(folder.groupId(), account.captured(2).toUInt());
    EXPECT_EQ(folder.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
              QFile::Permissions());
}

} // namespace
