// Remittance and its report, over the simulator's terminal in-process.
#include "paymenttest.h"

#include "payment/pontagetpvnew.h"

using namespace Movendi;
using namespace Movendi::Payment;

namespace {

class RemittanceTest : public Movendi::Test::PaymentTest
{
protected:
    void SetUp() override
    {
        PaymentTest::SetUp();
        m_terminal.answerFor([this](const QByteArray &message) {
            m_requests << message;
            return message == "AJ00204" ? m_remittance : m_report;
        });
    }
    // One acquirer per status character.
    static QByteArray remittanceAnswer(char result, const QByteArray &statuses)
    {
        QByteArray data = QByteArray(1, result) + ".." + "0" + QByteArray::number(statuses.size());
        data += "ACQ001" + statuses.left(1);
        if (statuses.size() > 1)
            data += "ACQ002" + statuses.mid(1, 1);
        return buildFrame(buildMessage("Aj", data));
    }
    static QByteArray reportAnswer(char status)
    {
        QByteArray m = answerMessage("Aj", 236);
        put(m, 7, "0");
        put(m, 10, "01");
        put(m, 18, QByteArray(1, status));
        put(m, 12, "CB    ");
        put(m, 72, "081226030000");
        put(m, 204, "1");
        put(m, 205, "123456000077000003978000000012345.000000");
        return m;
    }

    QList<QByteArray> m_remittance;
    QList<QByteArray> m_report;
    QList<QByteArray> m_requests;
};

} // namespace

TEST_F(RemittanceTest, CompleteRemittanceKeepsThePrintOut)
{
    m_remittance = {buildFrame("PREMISE CB 000077\r\n"), remittanceAnswer('0', "0"),
                    Movendi::Test::displayFrame("FIN", ""), Movendi::Test::displayFrame("", "")};
    EXPECT_EQ(DemTC(true), 255);
    EXPECT_EQ(m_requests, QList<QByteArray>{"AJ00204"});
    EXPECT_EQ(etatPaiement().MerchantTicketText, QStringLiteral("REMISE CB 000077\r\n"));
    EXPECT_TRUE(journalTexts(QStringLiteral("Télécollecte")).isEmpty());
    EXPECT_EQ(journalTexts(QStringLiteral("EcouterDemTC")).size(), 1);
}

TEST_F(RemittanceTest, TwoAcquirersBothRemitted)
{
    m_remittance = {remittanceAnswer('0', "00"), Movendi::Test::displayFrame("", "")};
    EXPECT_EQ(DemTC(true), 255);
}

TEST_F(RemittanceTest, IncompleteRemittanceIsJournalled)
{
    m_remittance = {remittanceAnswer('0', "01"), Movendi::Test::displayFrame("", "")};
    EXPECT_EQ(DemTC(true), 1);
    const QStringList journal = journalTexts(QStringLiteral("Télécollecte"));
    ASSERT_EQ(journal.size(), 1);
    EXPECT_EQ(journal.at(0),
              QStringLiteral("ACQ001 : télécollecte OK - ACQ002 : télécollecte incomplète"));
}

TEST_F(RemittanceTest, SilentTerminalGivesMinus500WithoutJournal)
{
    m_terminal.apply({QStringLiteral("sans-ack-enq")});
    etatPaiement().MerchantTicketText = QStringLiteral("previous");
    EXPECT_EQ(DemTC(true), -500);
    EXPECT_TRUE(m_requests.isEmpty());
    EXPECT_EQ(etatPaiement().MerchantTicketText, QStringLiteral("previous"));
    EXPECT_TRUE(journalRows().isEmpty());
}

TEST_F(RemittanceTest, RemittanceWithoutListeningReadsTheStream)
{
    m_remittance = {QByteArray("REMISE CB\r\n") + remittanceAnswer('0', "0")};
    EXPECT_EQ(DemTC(false), 255);
}

TEST_F(RemittanceTest, ReportIsLaidOutIntoTheMerchantText)
{
    m_report = {buildFrame(reportAnswer('0'))};
    etatPaiement().MerchantTicketText = QStringLiteral("print-out");
    EXPECT_EQ(DemTIC(), 255);
    EXPECT_EQ(m_requests, QList<QByteArray>{"AJ00203"});
    const QString text = etatPaiement().MerchantTicketText;
    EXPECT_TRUE(text.startsWith(QStringLiteral("CB    \r\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("NB REMISE: 1\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("No Remise: 000077\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\t123,45 978\r\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("print-out")));
}

TEST_F(RemittanceTest, ReportStatuses)
{
    struct Row
    {
        char status;
        int result;
        QString journal;
    };
    const QList<Row> rows{{'1', 11, QStringLiteral("télécollecte incomplète")},
                          {'2', 2, QStringLiteral("appel erroné ou inefficace")},
                          {'3', 3, QStringLiteral("pas d’appel")},
                          {'7', 1, {}}};
    for (const Row &row : rows) {
        m_report = {buildFrame(reportAnswer(row.status))};
        const int before = int(journalTexts(QStringLiteral("DemTIC")).size());
        EXPECT_EQ(DemTIC(), row.result) << row.status;
        const QStringList journal = journalTexts(QStringLiteral("DemTIC")).mid(before);
        if (row.journal.isEmpty())
            EXPECT_TRUE(journal.isEmpty());
        else
            EXPECT_EQ(journal, QStringList{row.journal});
        EXPECT_TRUE(etatPaiement().MerchantTicketText.isEmpty());
    }
}

TEST_F(RemittanceTest, ReportWithoutLineGivesMinus600)
{
    m_terminal.apply({QStringLiteral("sans-ack-enq")});
    etatPaiement().MerchantTicketText = QStringLiteral("print-out");
    EXPECT_EQ(DemTIC(), -600);
    EXPECT_TRUE(etatPaiement().MerchantTicketText.isEmpty());
}
