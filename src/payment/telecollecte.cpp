#include "payment/banktickets.h"
#include "payment/pontagetpvnew.h"
#include "payment/remittancereport.h"
#include "payment/resultatstpe.h"
#include "payment/terminalframe.h"

#include "platform/clocksetter.h"
#include "platform/seams.h"

namespace Movendi::Payment {

int LiaisonTerminal::DemTC(bool ecouter, int attenteTourSecondes)
{
    if (!CheckTerminalReady())
        return Resultat::TelecollecteSansLigne;
    const QByteArray message = buildMessage("AJ", "04");
    const ReponseTerminal answer =
        ecouter ? ExchangeAndListen(message, attenteTourSecondes, Ecoute::DemTC)
                : ExchangeAndReadStream(message, attenteTourSecondes);
    const Verdict verdict = evaluateRemittance(answer.texte);
    if (verdict.result != Resultat::Ok)
        journaliser(QStringLiteral("Télécollecte"), verdict.journalMessage);
    return verdict.result;
}

int LiaisonTerminal::DemTIC()
{
    m_etat.MerchantTicketText.clear();
    if (BidForLine() == Resultat::LigneRefusee)
        return Resultat::RapportSansLigne;
    const QByteArray answer = ExchangeSizedAnswer(buildMessage("AJ", "03"), 10).texte;
    const Verdict verdict = evaluateReport(answer);
    if (verdict.result != Resultat::Ok) {
        if (!verdict.journalMessage.isEmpty())
            journaliser(QStringLiteral("DemTIC"), verdict.journalMessage);
        return verdict.result;
    }
    m_etat.MerchantTicketText = layOutRemittanceReport(answer);
    return Resultat::Ok;
}

void LiaisonTerminal::BuildBankTickets(const QByteArray &reponseDebit)
{
    const BankTickets tickets = layOutBankTickets(reponseDebit);
    m_etat.MerchantTicketText = tickets.merchant;
    m_etat.CustomerTicketText = tickets.customer;
    if (tickets.transactionTime) {
        Platform::ClockSetter &reglage = m_environnement.reglageHorloge
                                             ? *m_environnement.reglageHorloge
                                             : Platform::clockSetter();
        reglage.setDateTime(*tickets.transactionTime, configuration().fichierConfiguration());
    }
    if (tickets.remittanceNumber)
        m_etat.RemittanceNumber = *tickets.remittanceNumber;
}

} // namespace Movendi::Payment
