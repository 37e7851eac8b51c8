#pragma once

#include <QByteArray>

namespace Movendi::Payment {

/// The kiosk's wait for the terminal to take its turn after the remittance request.
inline constexpr int AttenteTourTelecollecte = 900;
/// Remittance: 255 complete, 1 not complete or no answer (journalled), -500 the terminal did
/// not answer the line check. A staff check may wait less than the kiosk for the turn.
int DemTC(bool ecouter, int attenteTourSecondes = AttenteTourTelecollecte);
/// Remittance report laid out into MerchantTicketText: 255 done; 11, 2 or 3 incomplete, failed
/// or no call (journalled); 1 another failure; -600 no line.
int DemTIC();
/// Both bank tickets of a recorded debit, its remittance number, and the kiosk's clock set to
/// the terminal's (only where the configuration allows it).
void BuildBankTickets(const QByteArray &reponseDebit);

} // namespace Movendi::Payment
