#pragma once

namespace Movendi::Payment {

// The remittance requests and the bank tickets are LiaisonTerminal's (pontagetpvnew.h): DemTC,
// DemTIC, BuildBankTickets. Their answers are evaluated and laid out in remittancereport.h and
// banktickets.h.

} // namespace Movendi::Payment
