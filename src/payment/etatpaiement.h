#pragma once

#include <QString>

#include <memory>

namespace Movendi::Platform {
class SerialLine;
}

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

/// What the payment module shares with the sale, the ticket and the remittance recording.
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

    /// The terminal's line, opened on first use and kept for the life of the program.
    std::unique_ptr<Platform::SerialLine> ligneTerminal;
    /// The last reason the line could not be opened, so that a missing port is journalled once.
    QString echecOuverture;

    AffichageClient *affichagePaiement = nullptr;
    AffichageClient *affichageAccueil = nullptr;

    EtatPaiement();
    ~EtatPaiement();
    EtatPaiement &operator=(EtatPaiement &&) noexcept;
};

EtatPaiement &etatPaiement();
/// Back to the state of a program that has not paid yet; closes the terminal's line. The
/// displays installed by the screens are kept.
void reinitialiserPaiement();
/// Forgets what the last sale published (card number, both bank tickets, remittance number), at
/// the start of every payment: a refused debit must not print or record the previous ones.
void reinitialiserTransaction();

} // namespace Movendi::Payment
