#include "payment/telecollecte.h"

#include "payment/banktickets.h"
#include "payment/environnementpaiement.h"
#include "payment/etatpaiement.h"
#include "payment/pontagetpvnew.h"
#include "payment/remittancereport.h"
#include "payment/resultatstpe.h"
#include "payment/terminalframe.h"

#include "platform/clocksetter.h"
#include "platform/seams.h"

namespace Movendi::Payment {

int DemTC(bool ecouter, int attenteTourSecondes)
{
    if (!CheckTerminalReady())
        return Resultat::TelecollecteSansLigne;
    const QByteArray message = buildMessage("AJ", "04");
    const QByteArray answer =
        ecouter ? ExchangeAndListen(message, 210, attenteTourSecondes, Ecoute::DemTC)
                : ExchangeAndReadStream(message, attenteTourSecondes);
    const Verdict verdict = evaluateRemittance(answer);
    if (verdict.result != Resultat::Ok)
        journaliser(QStringLiteral("Télécollecte"), verdict.journalMessage);
    return verdict.result;
}

int DemTIC()
{
    EtatPaiement &e = etatPaiement();
    e.MerchantTicketText.clear();
    if (BidForLine() == Resultat::LigneRefusee)
        return Resultat::RapportSansLigne;
    int length = 250;
    const QByteArray answer = ExchangeSizedAnswer(buildMessage("AJ", "03"), length, 10);
    const Verdict verdict = evaluateReport(answer);
    if (verdict.result != Resultat::Ok) {
        if (!verdict.journalMessage.isEmpty())
            journaliser(QStringLiteral("DemTIC"), verdict.journalMessage);
        return verdict.result;
    }
    e.MerchantTicketText = layOutRemittanceReport(answer);
    return Resultat::Ok;
}

void BuildBankTickets(const QByteArray &reponseDebit)
{
    EtatPaiement &e = etatPaiement();
    const BankTickets tickets = layOutBankTickets(reponseDebit);
    e.MerchantTicketText = tickets.merchant;
    e.CustomerTicketText = tickets.customer;
    if (tickets.transactionTime)
        Platform::clockSetter().setDateTime(*tickets.transactionTime,
                                            configurationTerminal().fichierConfiguration());
    if (tickets.remittanceNumber)
        e.RemittanceNumber = *tickets.remittanceNumber;
}

} // namespace Movendi::Payment
