#pragma once

#include <QDateTime>
#include <QList>

#include <optional>

namespace Movendi::Store {

class StoreDatabase;

// The debits the kiosk recorded: sales whose debit the terminal accepted, with the amount sent.
struct DebitsLocaux
{
    qint64 nbDebits = 0;
    qint64 montantCentimes = 0;
    bool operator==(const DebitsLocaux &) const = default;
};

// The debits of the sales recorded after `apres` (excluded) up to `jusque` (included); an
// invalid `apres` means from the first sale.
DebitsLocaux debitsEntre(StoreDatabase &base, const QDateTime &apres, const QDateTime &jusque);

// A remittance as the terminal reported it (table Telecollectes).
struct Remise
{
    qint64 id = 0;
    QDateTime date;
    int noRemise = 0;
    std::optional<qint64> nbTransactions; // none when the report could not be read
    qint64 montantCentimes = 0;
};

// Whether what the terminal remitted differs from what the kiosk recorded.
bool ecartRemise(const Remise &remise, const DebitsLocaux &local);

// A sale whose debit was sent and never answered (StatutDebit 2): only the remittance says
// whether the card was debited.
struct VenteAVerifier
{
    qint64 numVente = 0;
    QDateTime date;
    qint64 montantCentimes = 0;
};

// One remittance beside the debits it should hold.
struct LigneRapprochement
{
    Remise remise;
    DebitsLocaux local;
    bool ecart = false;
    QList<VenteAVerifier> aVerifier; // recorded in the remittance's period
    // The sales to be checked make up the whole difference: they were debited.
    bool expliqueParAVerifier = false;
};

// The remittances recorded since `depuis`, oldest first, each with the debits of its period
// (after the remittance before it).
QList<LigneRapprochement> rapprochement(StoreDatabase &base, const QDateTime &depuis);

// The remittance just recorded (the latest row) with its reconciliation.
std::optional<LigneRapprochement> derniereRemise(StoreDatabase &base);

} // namespace Movendi::Store
