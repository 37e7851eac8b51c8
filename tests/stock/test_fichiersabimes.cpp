// Files staff bring or edit that are damaged: cut short, huge, in another encoding, or not text
// at all. Each gives its default or a reason, and none is read whole past its size limit:
// profiles (RURUDIZ.ini, language files) past 1 MiB, RTF descriptions past 32 MiB, delivery
// lists past 16 MiB, so that what a file costs in memory and time stays bounded by the limit.
#include "kiosktest.h"

#include "config/clesconfiguration.h"
#include "i18n/modtranslate.h"
#include "journal/erreur.h"
#include "platform/profilefile.h"
#include "platform/rtfreader.h"
#include "stock/listeimei.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTextDocument>

#include <functional>

using namespace Movendi;

namespace {

// The process's peak resident memory so far, in kilobytes.
qint64 picMemoireKo()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &ligne : status.readAll().split('\n')) {
        if (ligne.startsWith("VmHWM:"))
            return ligne.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

enum class Abime { Tronque, Enorme, Utf16, Binaire };

class FichiersAbimesTest : public Test::KioskTest, public ::testing::WithParamInterface<Abime>
{
protected:
    // The good file made damaged in the way of the test.
    QString abimer(const QString &nom, const QByteArray &bon) const
    {
        const QString chemin = path(nom);
        QFile f(chemin);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        switch (GetParam()) {
        case Abime::Tronque:
            f.write(bon.left(bon.size() / 2));
            break;
        case Abime::Enorme:
            // 100 MB of which the disk holds nothing: only reading it would cost.
            f.write(bon);
            EXPECT_TRUE(f.resize(100 * 1024 * 1024));
            break;
        case Abime::Utf16: {
            const QString texte = QString::fromUtf8(bon);
            f.write("\xff\xfe");
            f.write(reinterpret_cast<const char *>(texte.utf16()), texte.size() * 2);
            break;
        }
        case Abime::Binaire: {
            QByteArray octets(64 * 1024, '\0');
            QRandomGenerator hasard(1234);
            for (char &c : octets)
                c = char(hasard.bounded(256));
            f.write(octets);
            break;
        }
        }
        return chemin;
    }
};

TEST_P(FichiersAbimesTest, DefaultOrReasonWithoutReadingPastTheLimit)
{
    const qint64 avant = picMemoireKo();

    // The configuration: what it still says, or each key's default.
    const QString ini = abimer(QStringLiteral("RURUDIZ.ini"),
                               "[Machine]\r\nLocation=Quai 3\r\n[Email]\r\nSMTP=127.0.0.1\r\n");
    const QString smtp = Config::lireCle(ini, QStringLiteral("Email"), QStringLiteral("SMTP"));
    // Too large to read: the kiosk says the file cannot be read and takes no value from it.
    if (GetParam() == Abime::Enorme)
        EXPECT_TRUE(smtp.isEmpty()) << smtp.toStdString();
    else
        EXPECT_TRUE(smtp == QLatin1String("127.0.0.1") ||
                    smtp == Config::defautCle(QStringLiteral("Email"), QStringLiteral("SMTP")))
            << smtp.toStdString();
    if (GetParam() == Abime::Enorme) {
        EXPECT_EQ(
            Platform::readProfileString(ini, QStringLiteral("Machine"), QStringLiteral("Location"))
                .status,
            Platform::ProfileStatus::Unreadable);
        QString erreur;
        EXPECT_FALSE(Platform::writeProfileString(ini, QStringLiteral("Machine"),
                                                  QStringLiteral("Location"),
                                                  QStringLiteral("Quai 4"), &erreur));
        EXPECT_EQ(QFileInfo(ini).size(), 100 * 1024 * 1024) << "rewritten";
    }

    // A language file: the caption it gives, or the screen's own.
    const QString langue =
        abimer(QStringLiteral("French.lng"),
               "[FnAcceuil]\r\nCaption=acceuil\r\nCmdFR.Caption=Appuyez ici\r\n");
    const QString legende =
        I18n::LireCleLangue(langue, QStringLiteral("FnAcceuil"), QStringLiteral("CmdFR.Caption"),
                            QStringLiteral("défaut"));
    EXPECT_TRUE(legende == QLatin1String("Appuyez ici") || legende == QStringLiteral("défaut"))
        << legende.toStdString();

    // An article's description: shown as far as it reads, or refused with the reason.
    const QString rtf =
        abimer(QStringLiteral("galaxy.rtf"),
               "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Galaxy \\b A15\\b0\\par 128 Go}");
    QTextDocument document;
    QString raison;
    const bool lu = Platform::loadRtfFile(rtf, &document, &raison);
    if (GetParam() == Abime::Enorme) {
        EXPECT_FALSE(lu);
    }
    EXPECT_TRUE(lu || !raison.isEmpty());

    // The delivery list: refused with its reason, the refill screen then says so.
    QFile liste(
        QStringLiteral(MOVENDI_SOURCE_DIR "/tests/stock/fixtures/ListeIMEI-libreoffice.xls"));
    ASSERT_TRUE(liste.open(QIODevice::ReadOnly));
    const QString xls = abimer(QStringLiteral("ListeIMEI.xls"), liste.readAll());
    try {
        Stock::ListeIMEI::lire(xls);
        ADD_FAILURE() << "a damaged delivery list read as a good one";
    } catch (const Journal::ErreurExecution &erreur) {
        EXPECT_TRUE(erreur.description().contains(QLatin1String("illisible")) ||
                    erreur.description().contains(QLatin1String("Feuil1")))
            << erreur.description().toStdString();
    }

    // None of the files was loaded whole: the peak stays far below their 100 MB.
    EXPECT_LT(picMemoireKo() - avant, 16 * 1024);
}

std::string nomAbime(const ::testing::TestParamInfo<Abime> &info)
{
    static const char *const noms[] = {"Tronque", "Enorme", "Utf16", "Binaire"};
    return noms[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Fichiers, FichiersAbimesTest,
                         ::testing::Values(Abime::Tronque, Abime::Enorme, Abime::Utf16,
                                           Abime::Binaire),
                         nomAbime);

} // namespace
