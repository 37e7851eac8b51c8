#pragma once

#include <QString>

namespace Movendi::State {

// The texts the kiosk composes itself, in the current language (filled by ChargerMessages).
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

} // namespace Movendi::State
