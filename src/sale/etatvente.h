#pragma once

#include "money/monnaie.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace Movendi::Sale {

struct InfoSocieteVente
{
    QString Nom;
    QString Adresse;
    QString Ville;
    QString CodePostal;
    QString Tel;
    QString Fax;
};

// The top-up line of the basket.
struct LigneRechargeVente
{
    bool RechargeAServir = false;
    std::int32_t ReferenceRecharge = 0; // 0 = no top-up
    std::int32_t PrixRechargeCentimes = 0;
};

// What the location served for an item held; empty texts for an item not served.
struct ArticleDistribue
{
    QString IMEI;
    QString NoSIM;
    QString NoCommande;
    QString EAN13;
};

// What the customer validated on the product choice screen, frozen for the whole payment: a
// tile touched or a top-up changed while a cancelled payment still waits for its card must not
// change what is authorised, delivered or debited. One article and at most one top-up.
struct Panier
{
    std::int32_t ReferenceChoisie = 0;
    std::int32_t QteChoisie = 0;
    Money::Monnaie MontantAPayer;
    std::int32_t ReferenceArticle = 0;
    QString DesignationArticle;
    Money::Monnaie PrixArticle;
    LigneRechargeVente LigneRecharge;
    // The seller printed on the ticket.
    InfoSocieteVente InfoSociete;
};

// One sale's own state, from its basket: what the delivery, the debit, the recording and the
// ticket read and write. It belongs to the sale (Vente) and goes with it.
struct EtatVente
{
    std::int32_t ReferenceChoisie = 0;
    std::int32_t ReferenceArticle = 0;
    QString DesignationArticle;
    Money::Monnaie PrixArticle;
    InfoSocieteVente InfoSociete;
    LigneRechargeVente LigneRecharge;

    // The amount to pay: the basket's total, reduced by the delivery to what it served.
    Money::Monnaie MontantAPayer;
    // Written by the delivery, read by the recording and the ticket.
    bool EchecDistribution = false;
    // The debit's final result, once it was asked for.
    std::optional<int> ResultatDebit;
    ArticleDistribue ArticleServi;
    ArticleDistribue RechargeServie;
    // The sale ticket: each line appended as CR LF + line.
    QString TicketText;

    static EtatVente depuisPanier(const Panier &panier);
};

} // namespace Movendi::Sale
