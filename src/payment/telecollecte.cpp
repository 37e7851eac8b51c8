#include "telecollecte.h"

#include "banktickets.h"
#include "etatpaiement.h"
#include "pontagetpvnew.h"
#include "remittancereport.h"
#include "terminalframe.h"

#include "platform/clocksetter.h"
#include "platform/seams.h"
#include "startup/etatdemarrage.h"
#include "startup/journal.h"

namespace Movendi::Payment {

int DemTC(bool ecouter)
{
    if (!CheckTerminalReady())
        return -500;
    const QByteArray message = buildMessage("AJ", "04");
    const QByteArray answer = ecouter ? ExchangeAndListen(message, 210, 900, Ecoute::DemTC)
                                      : ExchangeAndReadStream(message, 900);
    const Verdict verdict = evaluateRemittance(answer);
    if (verdict.result != 255)
        Startup::JournaliserErreur(QStringLiteral("Télécollecte"), verdict.journalMessage);
    return verdict.result;
}

int DemTIC()
{
    EtatPaiement &e = etatPaiement();
    e.MerchantTicketText.clear();
    if (BidForLine() == 0)
        return -600;
    int length = 250;
    const QByteArray answer = ExchangeSizedAnswer(buildMessage("AJ", "03"), length, 10);
    const Verdict verdict = evaluateReport(answer);
    if (verdict.result != 255) {
        if (!verdict.journalMessage.isEmpty())
            Startup::JournaliserErreur(QStringLiteral("DemTIC"), verdict.journalMessage);
        return verdict.result;
    }
    e.MerchantTicketText = layOutRemittanceReport(answer);
    return 255;
}

void BuildBankTickets(const QByteArray &reponseDebit)
{
    EtatPaiement &e = etatPaiement();
    const BankTickets tickets = layOutBankTickets(reponseDebit);
    e.MerchantTicketText = tickets.merchant;
    e.CustomerTicketText = tickets.customer;
    if (tickets.transactionTime)
        Platform::clockSetter().setDateTime(*tickets.transactionTime, Startup::etat().CheminIni);
    if (tickets.remittanceNumber)
        e.RemittanceNumber = *tickets.remittanceNumber;
}

} // namespace Movendi::Payment
