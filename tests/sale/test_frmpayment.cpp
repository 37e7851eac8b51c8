// The payment screen's card steps on an in-process terminal and the manual clock.
#include "faketerminal.h"
#include "screenstest.h"

#include "front/fnacceuil.h"
#include "payment/etatpaiement.h"
#include "payment/terminalframe.h"
#include "platform/seams.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"
#include "startup/etatdemarrage.h"

using namespace Movendi;
using Movendi::Test::FakeTerminal;

namespace {

class FrmPaymentTest : public Movendi::Test::ScreensTest
{
protected:
    void SetUp() override
    {
        ScreensTest::SetUp();
        Payment::reinitialiserPaiement();
        Platform::installSerialLines(&m_factory);
    }
    void TearDown() override
    {
        Payment::reinitialiserPaiement();
        Platform::installSerialLines(nullptr);
        ScreensTest::TearDown();
    }
    static FakeTerminal::Answer statut(bool carte)
    {
        return {Payment::buildFrame(carte ? "Aa0040100" : "Aa0040000")};
    }
    // A customer who touches the first tile and validates; the whole payment runs inside.
    void payer()
    {
        demarrer();
        cliquer(controle<QLabel>(m_screens.fnAcceuil(), QStringLiteral("Image1"), 0));
        cliquer(controle<QPushButton>(m_screens.frmChoix(), QStringLiteral("CmdVal")));
        ASSERT_FALSE(m_screens.frmPayment()->paiementEnCours());
    }
    int requetes(const QByteArray &identifiant) const
    {
        int n = 0;
        for (const QByteArray &m : m_requests)
            n += m.startsWith(identifiant) ? 1 : 0;
        return n;
    }

    FakeTerminal m_terminal;
    Movendi::Test::FakeTerminalFactory m_factory{m_terminal};
    QList<QByteArray> m_requests;
};

} // namespace

TEST_F(FrmPaymentTest, LineCheckFailingEveryTime_ThreeAttemptsThenCardBackAndHome)
{
    bool carteVue = false;
    int refus = 0;
    // Once the card is seen, the terminal stops answering the line checks: three of them.
    m_terminal.ackEnq = [&](int) {
        if (carteVue && refus < 3) {
            ++refus;
            return false;
        }
        return true;
    };
    m_terminal.answerFor = [&](const QByteArray &message) {
        m_requests << message;
        const bool carte = !carteVue;
        carteVue = true;
        return statut(carte && refus == 0);
    };
    payer();
    EXPECT_EQ(refus, 3);
    EXPECT_EQ(requetes("AK"), 0) << "no solvency request without the line";
    EXPECT_GE(requetes("AA"), 2) << "the card was asked back";
    EXPECT_EQ(journalRows().last().erreur, QStringLiteral("sortie par payer=faux"));
    EXPECT_FALSE(m_screens.frmPayment()->isVisible());
}

TEST_F(FrmPaymentTest, CardLeftInTheReader_RemovalPromptGivesUpAfterAMinute)
{
    qint64 refuse = -1;
    m_terminal.answerFor = [&](const QByteArray &message) {
        m_requests << message;
        if (message.startsWith("AK")) {
            refuse = m_clock.monotonicMs();
            QByteArray reponse = Payment::buildMessage("Ak", QByteArray(313, '.'));
            reponse[6 - 1] = '2'; // result character, position 7 of the frame
            FakeTerminal::Answer frames = Movendi::Test::answerBlocks(reponse);
            frames << Movendi::Test::displayFrame("", "");
            return frames;
        }
        return statut(true); // the card stays
    };
    payer();
    ASSERT_GE(refuse, 0);
    const qint64 retrait = m_clock.monotonicMs() - refuse;
    EXPECT_GE(retrait, 60000);
    EXPECT_LT(retrait, 75000);
    EXPECT_EQ(requetes("AK"), 1);
    EXPECT_TRUE(m_screens.frmPayment()->PanelAnnulation()->text().isEmpty());
}
