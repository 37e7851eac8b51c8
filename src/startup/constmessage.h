#pragma once

#include <QString>

namespace Movendi::Startup {

// Module ConstMessage: the texts the kiosk composes itself, in the current language.
struct TableMessages
{
    QString MsgArticleIndisponible;
    QString MsgDistributionEnCours;
    QString MsgModePaiement;
    QString MsgEnPanne;
    QString MsgArticlesADistribuer;
    QString MsgMonnaieInsuffisante;
    QString MsgProblemeDistribution;
    // On the ticket of a sale whose card could not be debited.
    QString MsgDebitNonEffectue;
    QString MsgTVA;
    QString MsgHT;
    QString MsgContacterResponsable;
    QString MsgReclamation;
    QString MsgTotalTTC;
    QString MsgMontant;
    QString MsgMerci;
    QString MsgFacture;
    QString MsgPrenezProduit;
    QString MsgEchecDistribution;
    QString MsgPrenezTicket;
    QString MsgInsererCarte;
    QString MsgSaisirCode;
    QString MsgPatientez;
    QString MsgPlusRecharge;
    QString MsgAjouterRecharge;
    QString MsgRetirerRecharge;
};

// Switches the customer language: "FR" or "EN" exactly (anything else does nothing at all).
// Replaces etat().Messages with that language's texts, then translates the customer screens
// (home, product choice, payment; loaded first when needed) from "French.lng" or
// "English.lng" in the application folder. Langue is left as it is; the caller sets it.
// Failures of the screen list pass to the caller.
void ChargerMessages(const QString &langue);

} // namespace Movendi::Startup
