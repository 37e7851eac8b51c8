#pragma once

#include "faketerminal.h"
#include "kiosktest.h"

#include "payment/etatpaiement.h"
#include "payment/terminalframe.h"
#include "platform/clocksetter.h"
#include "platform/seams.h"
#include "startup/etatdemarrage.h"

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

// The payment module on an in-process terminal, a manual clock and a journal.
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
        FakeTerminalLine::opens = 0;
        FakeTerminalLine::refuseOpen = false;
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

    FakeTerminal m_terminal;
    FakeTerminalFactory m_factory{m_terminal};
    Platform::RecordingClockSetter m_clockSetter;
    RecordingDisplay m_paymentDisplay;
    RecordingDisplay m_homeDisplay;
};

} // namespace Movendi::Test
