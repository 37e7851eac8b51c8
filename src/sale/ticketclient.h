#pragma once

#include "money/monnaie.h"
#include "sale/etatvente.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace Movendi::State {
struct TableMessages;
}

namespace Movendi::Sale {

class Vente;

// The sale's TicketText += CR LF + ligne.
void AjoutLigneTicket(EtatVente &vente, const QString &ligne);

// Prints the customer's bank ticket, the shop's name and the sale ticket on the ticket printer
// (when "Ticket" is on, the delivery failed or the card was not debited), then shows
// "PRENEZ VOTRE TICKET !" for 4 s.
void ImprimerTicket(Vente &vente);

// The tax contained in an amount: TVA = TTC - (TTC / (1 + taux) to 1/10000 euro), HT = TTC - TVA.
struct MontantsTaxe
{
    Money::Monnaie HT;
    Money::Monnaie TVA;
    Money::Monnaie TTC;
};
MontantsTaxe calculerTaxe(Money::Monnaie ttc, double tauxTVA);

// "0.00" with the decimal comma and no grouping: "49,90", "1299,00", "-5,00".
QString texteMontantTicket(Money::Monnaie montant);
// A rate in percent as plain decimal text with the decimal comma: 19.6 gives "19,6".
QString texteTauxTicket(double pourcent);
// The designation as printed: a top-up's final "€" becomes "E"; anything else is unchanged.
QString designationTicket(const QString &designation, bool recharge);

// Lines 1 to 8 of the sale ticket: the shop's address, the moment, the invoice number, a rule.
QStringList lignesEnTeteTicket(const InfoSocieteVente &societe, const QDateTime &moment,
                               const QString &identiteMachine, qint64 numeroVente,
                               const State::TableMessages &messages);
// The two lines of one item: its designation and its price.
QStringList lignesArticleTicket(const QString &designation, Money::Monnaie prix,
                                const State::TableMessages &messages);
// What the closing lines depend on.
struct PiedTicket
{
    Money::Monnaie montantAPayer;
    double tauxTVA = 0;
    bool echecDistribution = false;
    bool rechargeAServir = false;
    std::int32_t prixRechargeCentimes = 0;
    // The card was not debited: the ticket must never read as a paid sale.
    bool debitNonEffectue = false;
    QString tel;
};
// From the rule under the items to the six empty lines at the end.
QStringList lignesPiedTicket(const PiedTicket &pied, const State::TableMessages &messages);

// Text for the printer: Windows-1252, characters below U+0100 without a code (the bank ticket's
// Latin-1 controls) as their own byte, anything else '?'.
QByteArray octetsImprimante(const QString &texte);
// The printer's outputs, in order, each sent as one write: the customer's bank ticket, the rule,
// large type on, the shop's name, normal type, the sale ticket, the cut.
QList<QByteArray> morceauxImpression(const QString &customerTicket, const QString &nomSociete,
                                     const QString &ticketText);
// The same joined: the exact byte sequence the printer receives.
QByteArray octetsImpression(const QString &customerTicket, const QString &nomSociete,
                            const QString &ticketText);

} // namespace Movendi::Sale
