// The payment requests and their result mappings, over the simulator's terminal in-process.
#include "paymenttest.h"

#include "payment/demandestpe.h"
#include "payment/erreurmpc10.h"

using namespace Movendi;
using namespace Movendi::Payment;
using Movendi::Test::SimulatedTerminal;

namespace {

const QString TestCard = QStringLiteral("4970101234567893");

class RequestTest : public Movendi::Test::PaymentTest
{
protected:
    // Every request of identifier `request` gets these frames.
    void answer(const QByteArray &request, const QList<QByteArray> &frames)
    {
        m_answers[request] = frames;
        m_terminal.answerFor([this](const QByteArray &message) {
            m_requests << message;
            return m_answers.value(message.left(2));
        });
    }
    void status(const QByteArray &data) { answer("AA", {buildFrame("Aa004" + data)}); }

    // A solvency or debit answer, displays around it as a terminal in listening mode sends.
    static QList<QByteArray> listened(const QByteArray &message)
    {
        QList<QByteArray> frames{Movendi::Test::displayFrame("TAPEZ CODE", "")};
        frames += Movendi::Test::answerBlocks(message);
        frames << Movendi::Test::displayFrame("", "");
        return frames;
    }
    static QByteArray solvency(char result, const QByteArray &diagnostic)
    {
        QByteArray m = answerMessage("Ak", 313);
        put(m, 7, QByteArray(1, result) + diagnostic);
        return m;
    }
    static QByteArray debit(char result)
    {
        QByteArray m = answerMessage("Al", 355);
        put(m, 7, QByteArray(1, result));
        put(m, 17, QByteArray("CB CONTACT").leftJustified(25));
        put(m, 42, QByteArray("MOVENDI KIOSQUE").leftJustified(25));
        put(m, 67, "081226");
        put(m, 73, "143005");
        put(m, 176, TestCard.toLatin1());
        put(m, 199, "2812");
        put(m, 234, "000042");
        put(m, 241, "A1B2C3");
        put(m, 272, "00001250");
        return m;
    }
    int requests(const QByteArray &identifier) const
    {
        int n = 0;
        for (const QByteArray &m : m_requests)
            n += m.startsWith(identifier) ? 1 : 0;
        return n;
    }

    QMap<QByteArray, QList<QByteArray>> m_answers;
    QList<QByteArray> m_requests;
};

} // namespace

TEST(Messages, AmountIsSentAsEightDigits)
{
    EXPECT_EQ(messageSolvabilite(1250), QByteArray("AK016000001250309782D"));
    EXPECT_EQ(messageSolvabilite(1250).size(), 21);
    EXPECT_EQ(messageDebit(1250), QByteArray("AL01100001250978"));
    EXPECT_EQ(messageDebit(1250).size(), 16);
    EXPECT_EQ(montantTerminal(0), QByteArray("00000000"));
    EXPECT_EQ(montantTerminal(12345678), QByteArray("12345678"));
}

TEST_F(RequestTest, StatusResults)
{
    struct Row
    {
        QByteArray data; // availability, card, remote activity, security
        int result;
        QString journal;
    };
    const QList<Row> rows{
        {"0100", 255, {}},
        {"0000", 1, {}},
        {"0X00", -400, {}},
        {"0101", -403, QStringLiteral("Pin-pad hors service, sécurité activée")},
        {"0002", -403, QStringLiteral("Lecteur hors service, sécurité activée")},
        {"0003", -403, QStringLiteral("Pin-pad et lecteur hors service, sécurité activée")},
        {"0110", -404, QStringLiteral("télécollecte en cours")},
        {"0020", -404, QStringLiteral("téléparamétrage en cours")},
        {"1100", -405, {}},
        {"2000", -405, QStringLiteral("MPC10S non disponible et switch maintenance positionné")},
        // Security first, and an unavailability that is not counted.
        {"1002", -403, QStringLiteral("Lecteur hors service, sécurité activée")},
        {"1010", -404, QStringLiteral("télécollecte en cours")},
    };
    for (const Row &row : rows) {
        status(row.data);
        const int before = int(journalTexts(QStringLiteral("DemSwi")).size());
        EXPECT_EQ(DemSwi(), row.result) << row.data.toStdString();
        const QStringList journal = journalTexts(QStringLiteral("DemSwi"));
        if (row.journal.isEmpty()) {
            EXPECT_EQ(journal.size(), before) << row.data.toStdString();
        } else {
            ASSERT_EQ(journal.size(), before + 1) << row.data.toStdString();
            EXPECT_EQ(journal.last(), row.journal);
        }
    }
    EXPECT_EQ(etatPaiement().TerminalDownCount, 1);
}

TEST_F(RequestTest, StatusLinkFailures)
{
    m_terminal.apply({QStringLiteral("nak 3")});
    EXPECT_EQ(DemSwi(), -400);
    m_terminal.apply({QStringLiteral("sans-ack-enq")});
    EXPECT_EQ(DemSwi(), -400);
    EXPECT_TRUE(m_requests.isEmpty());
}

TEST_F(RequestTest, StatusPollsThroughRemoteActivitySeenOnTheLine)
{
    status("0100");
    // A remittance seen during the bid ends it at once; remote parameter loading only delays
    // it. The status is asked either way.
    for (const QString &activity :
         {QStringLiteral("telecollecte"), QStringLiteral("teleparametrage")}) {
        m_terminal.apply({QStringLiteral("collision 1 ") + activity});
        const int before = requests("AA");
        EXPECT_EQ(DemSwi(), 255) << activity.toStdString();
        EXPECT_EQ(requests("AA"), before + 1);
    }
}

TEST_F(RequestTest, UnavailableTerminalIsJournalledOncePerThousandAnswers)
{
    status("1000");
    for (int i = 0; i < 999; ++i)
        ASSERT_EQ(DemSwi(), -405);
    EXPECT_TRUE(journalTexts(QStringLiteral("DemSwi")).isEmpty());
    EXPECT_EQ(etatPaiement().TerminalDownCount, 999);
    EXPECT_EQ(DemSwi(), -405);
    EXPECT_EQ(journalTexts(QStringLiteral("DemSwi")),
              QStringList{QStringLiteral("NON OK (MPC10S non disponible)")});
    EXPECT_EQ(etatPaiement().TerminalDownCount, 0);
}

TEST_F(RequestTest, SolvencyResults)
{
    etatPaiement().PaymentAmountCents = 1250;
    const QString refused = QStringLiteral("Carte refusée DemVal");
    struct Row
    {
        char result;
        int expected;
        int journalEntries;
    };
    const QList<Row> rows{{'0', 255, 0}, {'1', -704, 0}, {'9', 2, 2}, {'F', 2, 2},
                          {'2', 1, 1},   {'6', 1, 1},    {'B', 1, 1}, {'f', 1, 1}};
    for (const Row &row : rows) {
        answer("AK", listened(solvency(row.result, "44")));
        const int before = int(journalTexts(refused).size());
        EXPECT_EQ(DemVal(true), row.expected) << row.result;
        const QStringList journal = journalTexts(refused).mid(before);
        ASSERT_EQ(journal.size(), row.journalEntries) << row.result;
        if (row.journalEntries > 0) {
            EXPECT_EQ(journal.last(), QStringLiteral("Cause: ") +
                                          TexteResultatDemVal(QString(QLatin1Char(row.result))) +
                                          QStringLiteral(" - TIME-OUT SAISIE DU CODE 44"));
        }
        if (row.journalEntries == 2) {
            const QString raw = QStringLiteral("\x02") + QStringLiteral("Ak313") + row.result;
            EXPECT_TRUE(journal.first().startsWith(raw));
        }
    }
    EXPECT_EQ(requests("AK016000001250309782D"), rows.size());
    EXPECT_EQ(requests("AU"), 0);
}

TEST_F(RequestTest, SolvencyWithoutListeningReadsTheSizedAnswer)
{
    answer("AK", Movendi::Test::answerBlocks(solvency('0', "00")));
    EXPECT_EQ(DemVal(false), 255);
    EXPECT_EQ(m_paymentDisplay.shows, 0);
}

TEST_F(RequestTest, SolvencyLinkFailureRestartsTheTerminal)
{
    answer("AU", {Movendi::Test::displayFrame("REDEMARRAGE", ""), QByteArray(5, Ctl::EOT)});
    m_terminal.apply({QStringLiteral("nak 3")});
    EXPECT_EQ(DemVal(true), 0);
    EXPECT_EQ(requests("AU000"), 1);
    EXPECT_EQ(m_homeDisplay.shown.size(), 1);
    EXPECT_TRUE(journalTexts(QStringLiteral("Carte refusée DemVal")).isEmpty());
}

TEST_F(RequestTest, SolvencyWithoutLineSendsNothing)
{
    m_terminal.apply({QStringLiteral("sans-ack-enq")});
    EXPECT_EQ(DemVal(true), -700);
    EXPECT_EQ(DemEnr(true), -200);
    EXPECT_TRUE(m_terminal.framesReceived().isEmpty());
}

TEST_F(RequestTest, AcceptedDebitPublishesTheMaskedCardAndTheTickets)
{
    etatPaiement().PaymentAmountCents = 1250;
    answer("AL", listened(debit('0')));
    EXPECT_EQ(DemEnr(true), 255);
    EXPECT_EQ(requests("AL01100001250978"), 1);
    const EtatPaiement &e = etatPaiement();
    EXPECT_EQ(e.CardNumber, QStringLiteral("497010******7893"));
    EXPECT_TRUE(e.MerchantTicketText.startsWith(QStringLiteral("CARTE BANCAIRE\r\n")));
    EXPECT_TRUE(e.CustomerTicketText.contains(QStringLiteral("497010******7893")));
    EXPECT_TRUE(e.MerchantTicketText.contains(QStringLiteral("MONTANT = 12,50 EUR")));
    EXPECT_EQ(e.RemittanceNumber, 42);
    for (const QString &text : {e.CardNumber, e.MerchantTicketText, e.CustomerTicketText})
        EXPECT_FALSE(text.contains(TestCard));
    ASSERT_EQ(m_clockSetter.calls().size(), 1);
    EXPECT_EQ(m_clockSetter.calls().at(0).local, QDateTime(QDate(2026, 12, 8), QTime(14, 30, 5)));
    EXPECT_EQ(m_clockSetter.calls().at(0).iniPath, State::etat().CheminIni);
}

TEST_F(RequestTest, DebitResults)
{
    struct Row
    {
        char result;
        int expected;
        QString contexte;
        QString journal;
    };
    const QString refused = QStringLiteral("Carte refusée DemEnr");
    const QList<Row> rows{
        {'6', 255, QStringLiteral("DemEnr"),
         QStringLiteral("OK: solvabilité annulée sur montant = 0")},
        {'1', -204, refused, QStringLiteral("Cause: NON OK (MPC10S non disponible)")},
        {'4', 1, refused, QStringLiteral("Cause: pas de solvabilité accordée préalablement")},
        {'9', 1, refused, QStringLiteral("Cause: numéro de dossier inconnu.")},
        {'7', 1, refused, QStringLiteral("Cause: ")},
    };
    for (const Row &row : rows) {
        etatPaiement().CardNumber = QStringLiteral("stale");
        answer("AL", listened(debit(row.result)));
        EXPECT_EQ(DemEnr(true), row.expected) << row.result;
        EXPECT_TRUE(etatPaiement().CardNumber.isEmpty());
        EXPECT_TRUE(etatPaiement().MerchantTicketText.isEmpty()) << row.result;
        EXPECT_TRUE(etatPaiement().CustomerTicketText.isEmpty()) << row.result;
        ASSERT_FALSE(journalTexts(row.contexte).isEmpty()) << row.result;
        EXPECT_EQ(journalTexts(row.contexte).last(), row.journal);
    }
    EXPECT_TRUE(m_clockSetter.calls().isEmpty());
}

TEST_F(RequestTest, DebitLinkFailureIsARefusal)
{
    m_terminal.apply({QStringLiteral("nak 3")});
    EXPECT_EQ(DemEnr(false), 1);
    EXPECT_EQ(journalTexts(QStringLiteral("Carte refusée DemEnr")),
              QStringList{QStringLiteral("Cause: ")});
}

TEST_F(RequestTest, DebitWithoutListeningReadsTwoBlocks)
{
    answer("AL", Movendi::Test::answerBlocks(debit('0')));
    EXPECT_EQ(DemEnr(false), 255);
    EXPECT_EQ(etatPaiement().CardNumber, QStringLiteral("497010******7893"));
}

TEST_F(RequestTest, RestartNeedsTheLine)
{
    m_terminal.apply({QStringLiteral("sans-ack-enq")});
    EXPECT_TRUE(DemDemarrage().isEmpty());
    EXPECT_TRUE(m_requests.isEmpty());
}
