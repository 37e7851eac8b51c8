// The payment screen's card steps on the simulator's terminal in-process and the manual clock.
#include "screenstest.h"
#include "simulatedterminal.h"

#include "front/fnacceuil.h"
#include "payment/etatpaiement.h"
#include "payment/terminalframe.h"
#include "platform/seams.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"
#include "state/etatdemarrage.h"

using namespace Movendi;
using Movendi::Test::SimulatedTerminal;

namespace {

class FrmPaymentTest : public Movendi::Test::ScreensTest
{
protected:
    void SetUp() override
    {
        ScreensTest::SetUp();
        m_lien.reinitialiser();
    }
    void TearDown() override
    {
        m_lien.reinitialiser();
        ScreensTest::TearDown();
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

    SimulatedTerminal m_terminal;
    Movendi::Test::SimulatedTerminalFactory m_factory{m_terminal};
    const Platform::InstalledSerialLines m_lignes{&m_factory};
    QList<QByteArray> m_requests;
};

} // namespace

TEST_F(FrmPaymentTest, LineCheckFailingEveryTime_ThreeAttemptsThenCardBackAndHome)
{
    // Once the card is seen, the terminal stops answering the line checks: three of them.
    m_terminal.apply({QStringLiteral("sans-ack-enq 3 apres 1")});
    payer();
    EXPECT_EQ(m_terminal.journalCount(QStringLiteral("ENQ laisse sans reponse")), 3);
    EXPECT_EQ(m_terminal.journalCount(QStringLiteral("recu trame AK")), 0)
        << "no solvency request without the line";
    EXPECT_GE(m_terminal.journalCount(QStringLiteral("recu trame AA000")), 2)
        << "the card was asked back";
    EXPECT_EQ(journalRows().last().erreur, QStringLiteral("sortie par payer=faux"));
    EXPECT_FALSE(m_screens.frmPayment()->isVisible());
}

TEST_F(FrmPaymentTest, CardLeftInTheReader_RemovalPromptGivesUpAfterAMinute)
{
    m_terminal.apply({QStringLiteral("solvabilite refuse 2"), QStringLiteral("retrait jamais")});
    qint64 refuse = -1;
    m_terminal.answerFor(
        [&](const QByteArray &message) -> std::optional<SimulatedTerminal::Frames> {
            if (message.startsWith("AK"))
                refuse = m_clock.monotonicMs();
            return std::nullopt; // the terminal's own answers; the card stays
        });
    payer();
    ASSERT_GE(refuse, 0);
    const qint64 retrait = m_clock.monotonicMs() - refuse;
    EXPECT_GE(retrait, 60000);
    EXPECT_LT(retrait, 75000);
    EXPECT_EQ(m_terminal.journalCount(QStringLiteral("recu trame AK")), 1);
    EXPECT_TRUE(m_screens.frmPayment()->PanelAnnulation()->text().isEmpty());
}
