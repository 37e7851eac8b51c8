#pragma once

namespace Movendi::Sale {

class PosteVente;

// At start-up, before the home screen: settles every sale the journal left in flight (a power
// cut or a crash cut it short). What was delivered and debited is recorded, marked as recovered;
// what was delivered and authorised but whose debit was never sent is debited once and recorded
// with the result; a debit sent whose answer never came is not sent again and the sale is
// recorded as to be checked against the remittance; a locker the customer could reach is
// emptied; what was not delivered is closed without a debit. Each case is journalled under
// "Reprise vente" and mailed to the operator. Uses the sale desk's store connection, journal
// and terminal link; shows nothing and prints nothing. True when no sale is left in flight;
// false when the store refused what settling needs (the sales wait for the next try).
bool reprendreVentesInterrompues(PosteVente &poste);

} // namespace Movendi::Sale
