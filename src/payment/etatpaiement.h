#pragma once

#include <QString>

namespace Movendi::Payment {

/// The customer display the terminal drives during its listening phases: the payment screen's
/// panel for a payment, the home screen's panel for a restart or a remittance.
class AffichageClient
{
public:
    virtual ~AffichageClient() = default;
    virtual void montrer() = 0;
    /// Two lines of the terminal's display, joined by "\n".
    virtual void afficher(const QString &lignes) = 0;
    virtual void cacher() = 0;
};

/// What the terminal link shares with the sale, the ticket and the remittance recording.
struct EtatPaiement
{
    /// Sale total in euro cents, set before each solvency and debit request.
    qint64 PaymentAmountCents = 0;
    /// Card number of the last debit, always masked (first six and last four digits).
    QString CardNumber;
    /// Status answers that reported the terminal unavailable, journalled once per thousand.
    int TerminalDownCount = 0;
    QString MerchantTicketText;
    QString CustomerTicketText;
    int RemittanceNumber = 0;

    /// Forgets what the last sale published (card number, both bank tickets, remittance
    /// number), at the start of every payment: a refused debit must not print or record the
    /// previous ones.
    void reinitialiserTransaction();
};

} // namespace Movendi::Payment
