#pragma once

#include <QByteArray>

namespace Movendi::Payment {

/// Remittance: 255 complete, 1 not complete (journalled), -500 the terminal did not answer.
int DemTC(bool ecouter);
/// Remittance report laid out into MerchantTicketText: 255 done; 11, 2 or 3 incomplete, failed
/// or no call (journalled); 1 another failure; -600 no line.
int DemTIC();
/// Both bank tickets of a recorded debit, its remittance number, and the kiosk's clock set to
/// the terminal's (only where the configuration allows it).
void BuildBankTickets(const QByteArray &reponseDebit);

} // namespace Movendi::Payment
