#pragma once

#include "kiosktest.h"
#include "simulatedterminal.h"

#include "journal/journal.h"
#include "payment/pontagetpvnew.h"
#include "payment/terminalframe.h"
#include "platform/clocksetter.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"

#include <QStringList>

#include <memory>

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

// The terminal link on the simulator's terminal run in-process, a manual clock and a journal.
// The link's routines are reached by their names, as the tests of the routines call them.
class PaymentTest : public KioskTest
{
protected:
    // Where the kiosk's configuration would put it: port 4, no file; the error journal.
    class Configuration final : public Payment::ConfigurationTerminal
    {
    public:
        int portTerminal() const override { return State::etat().PortTPE; }
        QString fichierConfiguration() const override { return State::etat().CheminIni; }
    };
    class Journal final : public Payment::JournalPaiement
    {
    public:
        void journaliser(const QString &contexte, const QString &message) override
        {
            Movendi::Journal::JournaliserErreur(contexte, message);
        }
    };

    void SetUp() override
    {
        KioskTest::SetUp();
        createJournal();
        State::etat().PortTPE = 4;
        SimulatedTerminalLine::opens = 0;
        SimulatedTerminalLine::refuseOpen = false;
        reinitialiserPaiement();
    }
    void TearDown() override
    {
        m_lien.reset();
        KioskTest::TearDown();
    }

    // A fresh link (a program that has not paid yet) on the fixture's lines (m_lignes).
    void reinitialiserPaiement()
    {
        Payment::LiaisonTerminal::Environnement e;
        e.lignes = m_lignes;
        e.reglageHorloge = &m_clockSetter;
        e.configuration = &m_configuration;
        e.journal = &m_journal;
        m_lien = std::make_unique<Payment::LiaisonTerminal>(e);
        m_lien->installerAffichages(&m_paymentDisplay, &m_homeDisplay);
    }
    Payment::LiaisonTerminal &lien() { return *m_lien; }
    Payment::EtatPaiement &etatPaiement() { return m_lien->etat(); }
    const Payment::EtatPaiement &etatPaiement() const { return m_lien->etat(); }

    bool OpenTerminalPort() { return m_lien->OpenTerminalPort(); }
    QByteArray SendAndWait(const QByteArray &text, bool addLrc, int expected, int timeout)
    {
        return m_lien->SendAndWait(text, addLrc, expected, timeout);
    }
    QByteArray ReadTerminalChars(int timeout) { return m_lien->ReadTerminalChars(timeout); }
    bool CheckTerminalReady() { return m_lien->CheckTerminalReady(); }
    int BidForLine() { return m_lien->BidForLine(); }
    // These two report how much they read through the length, as the routines' callers see it.
    QByteArray ExchangeMessage(const QByteArray &message, int &expected, int wait)
    {
        return lireLongueur(m_lien->ExchangeMessage(message, expected, wait), expected);
    }
    QByteArray ExchangeSizedAnswer(const QByteArray &message, int &length, int wait)
    {
        return lireLongueur(m_lien->ExchangeSizedAnswer(message, wait), length);
    }
    static QByteArray lireLongueur(const Payment::ReponseTerminal &reponse, int &longueur)
    {
        if (reponse.longueurLue)
            longueur = *reponse.longueurLue;
        return reponse.texte;
    }
    QByteArray ExchangeAndListen(const QByteArray &message, int, int wait, Payment::Ecoute phase)
    {
        return m_lien->ExchangeAndListen(message, wait, phase).texte;
    }
    QByteArray ExchangeAndReadStream(const QByteArray &message, int wait)
    {
        return m_lien->ExchangeAndReadStream(message, wait).texte;
    }
    int DemSwi() { return m_lien->DemSwi(); }
    int DemVal(bool ecouter) { return m_lien->DemVal(ecouter); }
    int DemEnr(bool ecouter) { return m_lien->DemEnr(ecouter); }
    QByteArray DemDemarrage() { return m_lien->DemDemarrage(); }
    int DemTC(bool ecouter, int attente = Payment::AttenteTourTelecollecte)
    {
        return m_lien->DemTC(ecouter, attente);
    }
    int DemTIC() { return m_lien->DemTIC(); }
    void BuildBankTickets(const QByteArray &reponse) { m_lien->BuildBankTickets(reponse); }

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
        const Payment::EtatPaiement &e = m_lien->etat();
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
    // The lines the link opens: the simulated terminal's; null for the installed ones.
    Platform::SerialLineFactory *m_lignes = &m_factory;
    Platform::RecordingClockSetter m_clockSetter;
    RecordingDisplay m_paymentDisplay;
    RecordingDisplay m_homeDisplay;
    Configuration m_configuration;
    Journal m_journal;
    std::unique_ptr<Payment::LiaisonTerminal> m_lien;
};

} // namespace Movendi::Test
