#pragma once

#include <QtGlobal>

namespace Movendi::Payment {
struct EtatPaiement;
}
namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Sale {

class JournalVente;
class Vente;
struct EtatVente;
struct InfoSocieteVente;

// The seller printed on the tickets: the first InfoSociete row, or nothing when the table is
// empty. Throws ErreurExecution when the store cannot be read.
InfoSocieteVente lireInfoSociete(Store::StoreDatabase &base);

// Whether the card was debited for a recorded sale (Ventes.StatutDebit).
enum class StatutDebit { Debite = 0, NonDebite = 1, AVerifier = 2 };

// The debit status of a sale: not debited when a debit for more than nothing was asked (the
// terminal's amount) and did not give 255.
StatutDebit statutDebitVente(const EtatVente &vente, const Payment::EtatPaiement &paiement);

// Records a sale in one transaction: the Ventes row (card, remittance number, debit status,
// recovered mark), one DetailVente row per item, the sale ticket composed line by line (into
// the sale's TicketText) and stored with the merchant's bank ticket, and the sale number in the
// journal. Returns the sale number; a failure throws ErreurExecution and leaves nothing written.
qint64 enregistrerVente(Store::StoreDatabase &base, JournalVente &journal, EtatVente &vente,
                        const Payment::EtatPaiement &paiement, StatutDebit statut, bool reprise);

// The recording step of a sale: records it (a failure is journalled and the journal left for
// the next start-up), prints the ticket, closes the journal, and reports a sale whose debit
// failed to the journal and the operator.
void EnregistrerCommande(Vente &vente);

} // namespace Movendi::Sale
