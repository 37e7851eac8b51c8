#pragma once

#include "kiosktest.h"
#include "simulatedterminal.h"

#include "payment/etatpaiement.h"
#include "payment/terminalframe.h"
#include "platform/clocksetter.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"

#include <QStringList>

namespace Movendi::Test {

// A customer display that keeps what it was shown.
class RecordingDisplay final : public Payment::AffichageClient
{
public:
    void montrer() override
    {
        ++shows;
        visible = true;
    }
    void afficher(const QString &lignes) override { shown << lignes; }
    void cacher() override
    {
        ++hides;
        visible = false;
    }
    QStringList shown;
    int shows = 0;
    int hides = 0;
    bool visible = false;
};

// The payment module on the simulator's terminal run in-process, a manual clock and a journal.
class PaymentTest : public KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        createJournal();
        Payment::reinitialiserPaiement();
        Platform::installSerialLines(&m_factory);
        Platform::installClockSetter(&m_clockSetter);
        Startup::etat().PortTPE = 4;
        SimulatedTerminalLine::opens = 0;
        SimulatedTerminalLine::refuseOpen = false;
        Payment::etatPaiement().affichagePaiement = &m_paymentDisplay;
        Payment::etatPaiement().affichageAccueil = &m_homeDisplay;
    }
    void TearDown() override
    {
        Payment::etatPaiement().affichagePaiement = nullptr;
        Payment::etatPaiement().affichageAccueil = nullptr;
        Payment::reinitialiserPaiement();
        Platform::installSerialLines(nullptr);
        Platform::installClockSetter(nullptr);
        KioskTest::TearDown();
    }

    QStringList journalTexts(const QString &contexte) const
    {
        QStringList texts;
        for (const JournalRow &row : journalRows()) {
            if (row.contexte == contexte)
                texts << row.erreur;
        }
        return texts;
    }

    // No text the payment module keeps or journals holds the card number in clear: at most
    // its first six and last four digits show.
    // A leak shows one digit more than that at either end.
    void expectCardNumberHidden(const QByteArray &card) const
    {
        const QStringList leaks{QString::fromLatin1(card.left(7)),
                                QString::fromLatin1(card.right(5))};
        QStringList texts;
        const Payment::EtatPaiement &e = Payment::etatPaiement();
        texts << e.CardNumber << e.MerchantTicketText << e.CustomerTicketText;
        for (const JournalRow &row : journalRows())
            texts << row.erreur;
        for (const QString &text : texts) {
            for (const QString &leak : leaks)
                EXPECT_FALSE(text.contains(leak)) << text.toStdString();
        }
    }

    // A message of the given identifier and stated length, data filled with a neutral
    // character; fields are then put at their frame positions (1 is the STX).
    static QByteArray answerMessage(const char (&identifier)[3], int length)
    {
        return Payment::buildMessage(identifier, QByteArray(length, '.'));
    }
    static void put(QByteArray &message, int position, const QByteArray &value)
    {
        message.replace(position - 2, value.size(), value);
    }

    SimulatedTerminal m_terminal;
    SimulatedTerminalFactory m_factory{m_terminal};
    Platform::RecordingClockSetter m_clockSetter;
    RecordingDisplay m_paymentDisplay;
    RecordingDisplay m_homeDisplay;
};

} // namespace Movendi::Test
