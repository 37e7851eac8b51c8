#include "kiosktest.h"

#include <QElapsedTimer>
#include <QProcess>

#include <QRegularExpression>
#include <csignal>
#include <sys/prctl.h>

namespace {

// The shipped film, played by the Qt Multimedia player in a window of a private X server.
class LecteurQtTest : public Movendi::Test::KioskTest
{
protected:
    void TearDown() override
    {
        if (m_xserver.state() != QProcess::NotRunning) {
            m_xserver.terminate();
            m_xserver.waitForFinished(5000);
        }
        KioskTest::TearDown();
    }
    QString demarrerX()
    {
        // The server dies with the test, whatever ends it.
        m_xserver.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_xserver.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                 QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                                 QStringLiteral("-screen"), QStringLiteral("0"),
                                                 QStringLiteral("1024x768x24")});
        if (!m_xserver.waitForStarted(5000))
            return {};
        QByteArray numero;
        QElapsedTimer t;
        t.start();
        while (!numero.contains('\n') && t.elapsed() < 10000 && m_xserver.waitForReadyRead(500))
            numero += m_xserver.readAllStandardOutput();
        return numero.contains('\n') ? QLatin1Char(':') + QString::fromLatin1(numero.trimmed())
                                     : QString();
    }
    QProcess m_xserver;
};

} // namespace

TEST_F(LecteurQtTest, ShippedFilm_ItsLengthAndARisingPosition)
{
    layOutApplicationFolder();
    const QString affichage = demarrerX();
    ASSERT_FALSE(affichage.isEmpty()) << "Xvfb is needed to play the film";
    QProcess lecture;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    Movendi::Test::sansControleFuitesFilm(env);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), affichage);
    lecture.setProcessEnvironment(env);
    lecture.start(Movendi::Test::binaryPath("lecturefilm"),
                  {path(QStringLiteral("video/animation.avi"))});
    ASSERT_TRUE(lecture.waitForFinished(60000));
    const QString sortie = QString::fromUtf8(lecture.readAllStandardOutput());
    if (lecture.exitCode() == 77)
        GTEST_SKIP() << sortie.toStdString();
    ASSERT_EQ(lecture.exitCode(), 0)
        << sortie.toStdString() << lecture.readAllStandardError().toStdString();
    EXPECT_TRUE(sortie.contains(QStringLiteral("open 0\n"))) << sortie.toStdString();
    const auto longueur = QRegularExpression(QStringLiteral("length (\\d+)")).match(sortie);
    ASSERT_TRUE(longueur.hasMatch()) << sortie.toStdString();
    EXPECT_GT(longueur.captured(1).toLongLong(), 1000);
    const QString ligne =
        QRegularExpression(QStringLiteral("positions([ 0-9]*)")).match(sortie).captured(1);
    QList<qint64> positions;
    for (const QString &p : ligne.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        positions << p.toLongLong();
    ASSERT_GE(positions.size(), 4) << sortie.toStdString();
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << sortie.toStdString();
    EXPECT_GT(positions.last(), positions.first() + 500) << sortie.toStdString();
    // What playing costs the kiosk, for the record.
    std::printf("%s",
                qPrintable(QRegularExpression(QStringLiteral("cpu .*")).match(sortie).captured(0)));
}
