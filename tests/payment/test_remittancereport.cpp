#include "answertext.h"
#include "payment/remittancereport.h"
#include "payment/terminalframe.h"

#include <QList>
#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>

using namespace Movendi::Payment;

namespace {

using Movendi::Test::putAt;

QByteArray header(const QByteArray &overall, const QByteArray &acquirers)
{
    QByteArray a;
    putAt(a, 1, QByteArray(1, Ctl::STX) + "Aj000" + overall + "00" + acquirers);
    return a;
}

QByteArray endFrame(QByteArray a)
{
    a += QByteArray(1, Ctl::DLE) + Ctl::ETX;
    return a + ComputeLrc(a);
}

// ---- Remittance answer ----

QByteArray remittanceAnswer(const QByteArray &acquirers, const QByteArray &status1,
                            const QByteArray &status2, const QByteArray &overall = "0")
{
    QByteArray a = header(overall, acquirers);
    putAt(a, 12, "ACQ001" + status1 + "ACQ002" + status2);
    return endFrame(a);
}

TEST(AcquirerStatusTextTest, EveryStatus)
{
    EXPECT_EQ(acquirerStatusText("0"), QStringLiteral("télécollecte OK"));
    EXPECT_EQ(acquirerStatusText("1"), QStringLiteral("télécollecte incomplète"));
    EXPECT_EQ(acquirerStatusText("2"), QStringLiteral("appel erroné ou inefficace"));
    EXPECT_EQ(acquirerStatusText("3"), QString::fromUtf16(u"pas d\u2019appel"));
    for (const char *other : {"4", "9", "", "00", " ", "A"})
        EXPECT_TRUE(acquirerStatusText(other).isEmpty()) << other;
}

TEST(EvaluateRemittanceTest, EveryAcquirerRemitted_Gives255)
{
    EXPECT_EQ(evaluateRemittance(remittanceAnswer("01", "0", "9")).result, 255);
    EXPECT_EQ(evaluateRemittance(remittanceAnswer("02", "0", "0")).result, 255);
    EXPECT_TRUE(evaluateRemittance(remittanceAnswer("02", "0", "0")).journalMessage.isEmpty());
}

TEST(EvaluateRemittanceTest, SecondAcquirerIncomplete_Gives1WithBothStatuses)
{
    const Verdict v = evaluateRemittance(remittanceAnswer("02", "0", "1"));
    EXPECT_EQ(v.result, 1);
    EXPECT_EQ(v.journalMessage,
              QStringLiteral("ACQ001 : télécollecte OK - ACQ002 : télécollecte incomplète"));
    EXPECT_TRUE(v.journalMessage.endsWith(QStringLiteral("télécollecte incomplète")));
}

TEST(EvaluateRemittanceTest, OneAcquirerFailed_Gives1WithoutSecondStatus)
{
    const Verdict v = evaluateRemittance(remittanceAnswer("01", "2", "1"));
    EXPECT_EQ(v.result, 1);
    EXPECT_EQ(v.journalMessage, QStringLiteral("ACQ001 : appel erroné ou inefficace - ACQ002 : "));
}

TEST(EvaluateRemittanceTest, OverallResultOrCountNotAsExpected_Gives1)
{
    EXPECT_EQ(evaluateRemittance(remittanceAnswer("01", "0", "0", "1")).result, 1);
    EXPECT_EQ(evaluateRemittance(remittanceAnswer("02", "0", "0", "1")).result, 1);
    EXPECT_EQ(evaluateRemittance(remittanceAnswer("03", "0", "0")).result, 1);
    EXPECT_EQ(evaluateRemittance(remittanceAnswer("00", "0", "0")).result, 1);
    EXPECT_EQ(evaluateRemittance(remittanceAnswer("02", "3", "0")).journalMessage,
              QString::fromUtf16(u"ACQ001 : pas d\u2019appel - ACQ002 : télécollecte OK"));
}

TEST(EvaluateRemittanceTest, EmptyOrShortAnswer_Gives1)
{
    EXPECT_EQ(evaluateRemittance(QByteArray()).result, 1);
    EXPECT_EQ(evaluateRemittance(QByteArray()).journalMessage, QStringLiteral(" :  -  : "));
    // Cut before the second status: the second acquirer is not known to have remitted.
    EXPECT_EQ(evaluateRemittance(remittanceAnswer("02", "0", "0").left(24)).result, 1);
    EXPECT_EQ(evaluateRemittance(remittanceAnswer("01", "0", "0").left(17)).result, 1);
}

// ---- Remittance report ----

TEST(EvaluateReportTest, EveryStatus)
{
    EXPECT_EQ(evaluateReport(remittanceAnswer("01", "0", "1")).result, 255);
    EXPECT_TRUE(evaluateReport(remittanceAnswer("01", "0", "1")).journalMessage.isEmpty());
    const Verdict incomplete = evaluateReport(remittanceAnswer("01", "1", "0"));
    EXPECT_EQ(incomplete.result, 11);
    EXPECT_EQ(incomplete.journalMessage, QStringLiteral("télécollecte incomplète"));
    const Verdict failed = evaluateReport(remittanceAnswer("01", "2", "0", "5"));
    EXPECT_EQ(failed.result, 2);
    EXPECT_EQ(failed.journalMessage, QStringLiteral("appel erroné ou inefficace"));
    const Verdict noCall = evaluateReport(remittanceAnswer("01", "3", "0"));
    EXPECT_EQ(noCall.result, 3);
    EXPECT_EQ(noCall.journalMessage, QString::fromUtf16(u"pas d\u2019appel"));
}

TEST(EvaluateReportTest, OtherFailures_Give1WithoutMessage)
{
    for (const Verdict &v :
         {evaluateReport(remittanceAnswer("01", "0", "0", "1")),
          evaluateReport(remittanceAnswer("01", "9", "0")), evaluateReport(QByteArray()),
          evaluateReport(remittanceAnswer("01", "0", "0").left(17))}) {
        EXPECT_EQ(v.result, 1);
        EXPECT_TRUE(v.journalMessage.isEmpty());
    }
}

struct Record
{
    QByteArray acquirer, remittance, count, currency, amount, failed;
};

QByteArray record(const Record &r)
{
    QByteArray s;
    putAt(s, 1, r.acquirer);
    putAt(s, 7, r.remittance);
    putAt(s, 13, r.count);
    putAt(s, 19, r.currency);
    putAt(s, 22, r.amount);
    putAt(s, 35, r.failed);
    return s;
}

// One acquirer block written at offset o of the answer.
void putBlock(QByteArray &a, int o, const QByteArray &tag, const QList<Record> &records)
{
    putAt(a, o + 12, "ACQ" + tag);
    putAt(a, o + 22, QByteArray("BANQUE ").append(tag).leftJustified(50, ' '));
    putAt(a, o + 72, "150324023012");
    putAt(a, o + 84, "TLC" + tag + "0");
    putAt(a, o + 91, "CONTRAT " + tag + "456");
    putAt(a, o + 105,
          "1234"
          "01"
          "12345678"
          "ABC");
    putAt(a, o + 122, QByteArray("LIGNE 32 ").append(tag).leftJustified(32, ' '));
    putAt(a, o + 154, QByteArray("LIGNE 50 ").append(tag).leftJustified(50, ' '));
    putAt(a, o + 204, QByteArray::number(records.size()));
    for (int r = 0; r < records.size(); ++r)
        putAt(a, o + 205 + 40 * r, record(records.at(r)));
}

QStringList blockLines(const QByteArray &tag, int k)
{
    return {QStringLiteral("ACQ") + QString::fromLatin1(tag),
            (QStringLiteral("BANQUE ") + QString::fromLatin1(tag)).leftJustified(50),
            QStringLiteral("15/03/24  02h30m12"),
            QStringLiteral("TLC") + QString::fromLatin1(tag) + u'0',
            QStringLiteral("CONTRAT ") + QString::fromLatin1(tag) + QStringLiteral("456"),
            QStringLiteral("1234 01 12345678 ABC"),
            (QStringLiteral("LIGNE 32 ") + QString::fromLatin1(tag)).leftJustified(32),
            (QStringLiteral("LIGNE 50 ") + QString::fromLatin1(tag)).leftJustified(50),
            QStringLiteral("NB REMISE: ") + QString::number(k)};
}

QStringList recordLines(const Record &r, const QString &amountLine)
{
    QStringList lines = {QStringLiteral("No acquereur :") + QString::fromLatin1(r.acquirer),
                         QStringLiteral("No Remise: ") + QString::fromLatin1(r.remittance),
                         QStringLiteral("Nb Transaction : ") + QString::fromLatin1(r.count),
                         QStringLiteral("MONTANT TRANSACTION = ")};
    if (!amountLine.isNull())
        lines << amountLine;
    lines << QStringLiteral("Nb Trans non aboutie: ") + QString::fromLatin1(r.failed) << QString();
    return lines;
}

QString joined(QStringList lines)
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

const Record first{"ACQ001", "000017", "000003", "978", "000000012345", "000000"};
const Record second{"ACQ001", "000018", "000001", "978", "000000001250", "000002"};

TEST(LayOutRemittanceReportTest, OneAcquirerTwoRemittances)
{
    QByteArray a = header("0", "01");
    putBlock(a, 0, "001", {first, second});
    const QString report = layOutRemittanceReport(endFrame(a));

    QStringList expected = blockLines("001", 2);
    expected << recordLines(first, QStringLiteral("\t123,45 978"));
    expected << recordLines(second, QStringLiteral("\t12,50 978"));
    expected << QString();
    EXPECT_EQ(report, joined(expected));
    EXPECT_EQ(report.split(QStringLiteral("\r\n")).count(QStringLiteral("ACQ001")), 1);
    EXPECT_TRUE(report.endsWith(QStringLiteral("000002\r\n\r\n\r\n")));
}

TEST(LayOutRemittanceReportTest, TwoAcquirers_SecondBlockAfterTheFirstOnesRecords)
{
    const Record third{"ACQ002", "000501", "000010", "978", "000000100000", "000000"};
    const Record fourth{"ACQ002", "000502", "000004", "978", "000000000099", "000001"};
    QByteArray a = header("0", "02");
    putBlock(a, 0, "001", {first});
    putBlock(a, 193 + 40 * 1, "002", {third, fourth});
    const QString report = layOutRemittanceReport(endFrame(a));

    QStringList expected = blockLines("001", 1);
    expected << recordLines(first, QStringLiteral("\t123,45 978")) << QString();
    expected << blockLines("002", 2);
    expected << recordLines(third, QStringLiteral("\t1000,00 978"));
    expected << recordLines(fourth, QStringLiteral("\t0,99 978")) << QString();
    EXPECT_EQ(report, joined(expected));
}

TEST(LayOutRemittanceReportTest, AcquirerWithoutRemittance)
{
    QByteArray a = header("0", "02");
    putBlock(a, 0, "001", {});
    putBlock(a, 193, "002", {second});
    QStringList expected = blockLines("001", 0);
    expected << QString() << blockLines("002", 1)
             << recordLines(second, QStringLiteral("\t12,50 978")) << QString();
    EXPECT_EQ(layOutRemittanceReport(endFrame(a)), joined(expected));
}

TEST(LayOutRemittanceReportTest, NonNumericAmount_LeavesOutOnlyItsLine)
{
    Record odd = first;
    odd.amount = "0000000123X5";
    QByteArray a = header("0", "01");
    putBlock(a, 0, "001", {odd, second});
    QStringList expected = blockLines("001", 2);
    expected << recordLines(odd, QString()) << recordLines(second, QStringLiteral("\t12,50 978"))
             << QString();
    EXPECT_EQ(layOutRemittanceReport(endFrame(a)), joined(expected));
}

TEST(LayOutRemittanceReportTest, UnreadableBlockCount_LaysOutNothing)
{
    QByteArray a = header("0", "0X");
    putBlock(a, 0, "001", {first});
    EXPECT_TRUE(layOutRemittanceReport(endFrame(a)).isEmpty());
    a = header("0", "00");
    putBlock(a, 0, "001", {first});
    EXPECT_TRUE(layOutRemittanceReport(endFrame(a)).isEmpty());
    EXPECT_TRUE(layOutRemittanceReport(QByteArray()).isEmpty());
    EXPECT_TRUE(layOutRemittanceReport(QByteArray(1, Ctl::STX) + "Aj0000001").isEmpty());
}

TEST(LayOutRemittanceReportTest, UnreadableRemittanceCount_EndsTheLayoutAfterItsBlock)
{
    QByteArray a = header("0", "02");
    putBlock(a, 0, "001", {first});
    putAt(a, 204, "X");
    putBlock(a, 233, "002", {second});
    QStringList expected = blockLines("001", 0);
    expected.last() = QStringLiteral("NB REMISE: X");
    expected << QString();
    EXPECT_EQ(layOutRemittanceReport(endFrame(a)), joined(expected));
}

TEST(LayOutRemittanceReportTest, CutAnswer_LaysOutTheCompleteFieldsOfEveryAnnouncedBlock)
{
    QByteArray a = header("0", "02");
    putBlock(a, 0, "001", {first, second});
    const QString report = layOutRemittanceReport(a.left(253));
    QStringList expected = blockLines("001", 2);
    expected << recordLines(first, QStringLiteral("\t123,45 978"));
    // The second record stops inside its remittance number: that field and the ones after it
    // are left out rather than printed cut or empty.
    expected << QStringLiteral("No acquereur :ACQ001") << QStringLiteral("MONTANT TRANSACTION = ")
             << QString() << QString();
    // The second block is announced but nothing of it arrived.
    expected << QString();
    EXPECT_EQ(report, joined(expected));

    // A whole frame: its closing DLE ETX and check character are not part of any field.
    QByteArray b = header("0", "01");
    putBlock(b, 0, "001", {first});
    const QByteArray whole = endFrame(b.left(233 + 5));
    QStringList lines = blockLines("001", 1);
    Record cut = first;
    lines << recordLines(cut, QStringLiteral("\t123,45 978")) << QString();
    lines.removeAt(lines.indexOf(QStringLiteral("Nb Trans non aboutie: 000000")));
    EXPECT_EQ(layOutRemittanceReport(whole), joined(lines));
}

TEST(LayOutRemittanceReportTest, LargestCounts_StayBounded)
{
    // Every count at its largest: 99 blocks of 9 records, each 553 characters further on.
    const QByteArray nines(100000, '9');
    const QString report = layOutRemittanceReport(nines);
    EXPECT_EQ(report.count(QStringLiteral("NB REMISE: 9\r\n")), 99);
    EXPECT_EQ(report.count(QStringLiteral("No acquereur :999999\r\n")), 99 * 9);
    EXPECT_EQ(report.count(QStringLiteral("\t9999999999,99 999\r\n")), 99 * 9);
}

TEST(LayOutRemittanceReportTest, RandomBytes_AreLaidOutSafely)
{
    QRandomGenerator random(150324);
    for (int i = 0; i < 3000; ++i) {
        QByteArray a(int(random.bounded(4000)), Qt::Uninitialized);
        // Mostly digits, so that the counts send the layout across the answer.
        for (char &c : a)
            c = random.bounded(4) ? char('0' + random.bounded(10)) : char(random.bounded(256));
        const QString report = layOutRemittanceReport(a);
        EXPECT_LE(report.count(QStringLiteral("NB REMISE: ")), 99);
        const int remittance = evaluateRemittance(a).result;
        EXPECT_TRUE(remittance == 255 || remittance == 1) << remittance;
        const int reportResult = evaluateReport(a).result;
        EXPECT_TRUE(QList<int>({255, 11, 2, 3, 1}).contains(reportResult)) << reportResult;
    }
}

} // namespace
