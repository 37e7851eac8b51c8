#include "i18n/constmessage.h"

#include "i18n/modtranslate.h"
#include "platform/filelookup.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "utilities/fonctionutilitaires.h"

#include <QWidget>

namespace Movendi::I18n {

namespace {

State::TableMessages textesFrancais()
{
    State::TableMessages m;
    m.MsgArticleIndisponible = QStringLiteral("Article Indisponible");
    m.MsgDistributionEnCours = QStringLiteral("Distribution en cours\r\nVeuillez patientier...");
    m.MsgModePaiement = QStringLiteral("Choisissez votre mode de paiement");
    m.MsgEnPanne = QStringLiteral("EN PANNE !");
    m.MsgArticlesADistribuer = QStringLiteral(" Article(s) à distribuer");
    m.MsgMonnaieInsuffisante = QStringLiteral("Stock de monnaie insuffisant!");
    m.MsgProblemeDistribution = QStringLiteral("PB. DISTRIBUTION");
    m.MsgDebitNonEffectue = QStringLiteral("PAIEMENT NON DEBITE");
    m.MsgTVA = QStringLiteral("TVA");
    m.MsgHT = QStringLiteral("HT:      ");
    m.MsgContacterResponsable = QStringLiteral("Contacter le responsable au No de tel: ");
    m.MsgReclamation = QStringLiteral(" pour toute reclamation");
    m.MsgTotalTTC = QStringLiteral("Total TTC:");
    m.MsgMontant = QStringLiteral("Montant: ");
    m.MsgMerci = QStringLiteral("MERCI A BIENTOT");
    m.MsgFacture = QStringLiteral("Facture No: ");
    m.MsgPrenezProduit = QStringLiteral("Prenez le produit dans le casier !");
    m.MsgEchecDistribution = QStringLiteral("Problème lors de la distribution !");
    m.MsgPrenezTicket = QStringLiteral("PRENEZ VOTRE TICKET !");
    m.MsgInsererCarte =
        QStringLiteral("INSéRER VOTRE CARTE BANCAIRE").toUpper() + QStringLiteral(" !");
    m.MsgSaisirCode = QStringLiteral("SAISISSEZ VOTRE CODE !");
    m.MsgPatientez = QStringLiteral("PATIENTEZ...");
    m.MsgPlusRecharge = QStringLiteral("+ Recharge de ");
    m.MsgAjouterRecharge = QStringLiteral("Ajouter une recharge de ");
    m.MsgRetirerRecharge = QStringLiteral("Retirer la recharge de ");
    return m;
}

// The texts without an English version keep the French one.
State::TableMessages textesAnglais(const QString &patientezActuel)
{
    State::TableMessages m = textesFrancais();
    m.MsgArticleIndisponible = QStringLiteral("Unavailable");
    m.MsgDistributionEnCours = QStringLiteral("Please wait is working ...");
    m.MsgEnPanne = QStringLiteral("Temporary out of order !");
    m.MsgArticlesADistribuer = QStringLiteral(" item(s) have to be dispense out.");
    m.MsgProblemeDistribution = QStringLiteral("DELIVERY PROBLEM");
    m.MsgDebitNonEffectue = QStringLiteral("PAYMENT NOT DEBITED");
    m.MsgTVA = QStringLiteral("VAT");
    m.MsgContacterResponsable = QStringLiteral("Contact the sercice: ");
    m.MsgReclamation = QStringLiteral(" for any claiming");
    m.MsgMontant = QStringLiteral("Amount: ");
    m.MsgMerci = QStringLiteral("TANK YOU");
    m.MsgFacture = QStringLiteral("Invoice # ");
    m.MsgPrenezProduit = QStringLiteral("take your product in the rack !");
    m.MsgEchecDistribution = QStringLiteral("Dispensing failure");
    m.MsgPrenezTicket = QStringLiteral("TAKE YOUR TICKET !");
    m.MsgInsererCarte = QStringLiteral("INSERT YOUR CARD !");
    m.MsgSaisirCode = QStringLiteral("SAISISSEZ YOUR CODE !");
    m.MsgPlusRecharge = QStringLiteral("+ Refill of ");
    m.MsgAjouterRecharge = QStringLiteral("Add refill of ");
    m.MsgRetirerRecharge = QStringLiteral("Remove refill of ");
    // English has no "please wait" of its own: the French text loaded before stays. A table
    // never filled in French still gets it rather than an empty prompt.
    if (!patientezActuel.isEmpty())
        m.MsgPatientez = patientezActuel;
    return m;
}

} // namespace

void ChargerMessages(const QString &langue)
{
    const bool francais = langue == QLatin1String("FR");
    if (!francais && langue != QLatin1String("EN"))
        return;

    State::TableMessages &messages = State::etat().Messages;
    messages = francais ? textesFrancais() : textesAnglais(messages.MsgPatientez);

    State::Ecrans *liste = State::ecrans();
    if (!liste)
        return;
    const QString fichier = Platform::resolveFileNoCase(Utilities::DossierApplication(),
                                                        francais ? QStringLiteral("French.lng")
                                                                 : QStringLiteral("English.lng"));
    // The list loads the screens that are not loaded yet, so their load handlers see the texts
    // filled above.
    const QList<QWidget *> ecransClients = liste->ecransClients();
    for (QWidget *ecran : ecransClients)
        TraduireForm(ecran, fichier);
}

} // namespace Movendi::I18n
