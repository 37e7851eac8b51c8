#include "sale/ticketclient.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "payment/pontagetpvnew.h"
#include "platform/pointarret.h"
#include "platform/serialline.h"
#include "platform/windows1252.h"
#include "sale/affichagevente.h"
#include "sale/enregistrement.h"
#include "sale/etatvente.h"
#include "sale/postevente.h"
#include "sale/vente.h"
#include "state/etatdemarrage.h"
#include "state/tablemessages.h"
#include "utilities/fonctionutilitaires.h"

#include <cmath>
#include <new>

namespace Movendi::Sale {

using Money::Monnaie;
using State::TableMessages;

namespace {

const QString crlf = QStringLiteral("\r\n");
const QString tabs = QStringLiteral("\t\t\t");
const QString euros = QStringLiteral(" EUR");
const QString regleTicket(43, QLatin1Char('_'));

constexpr int ErreurPortImprimante = 8002;
constexpr int ErreurEcritureImprimante = 8012;
constexpr int ErreurMemoire = 7;
constexpr int AttentePriseTicketS = 4;

} // namespace

void AjoutLigneTicket(EtatVente &vente, const QString &ligne)
{
    try {
        vente.TicketText += crlf + ligne;
    } catch (const std::bad_alloc &) {
        Journal::SignalerErreur(
            QStringLiteral("AjoutLigneTicket"),
            Journal::ErreurExecution(ErreurMemoire, QStringLiteral("Mémoire insuffisante")));
    }
}

MontantsTaxe calculerTaxe(Monnaie ttc, double tauxTVA)
{
    const double horsTaxe = double(ttc.unites()) / (1.0 + tauxTVA);
    const Monnaie ht = Monnaie::depuisUnites(std::llround(horsTaxe));
    const Monnaie tva = ttc - ht;
    return {ttc - tva, tva, ttc};
}

QString texteMontantTicket(Monnaie montant)
{
    return montant.texteCentimes();
}

QString texteTauxTicket(double pourcent)
{
    // 15 significant digits, so that 0.196 x 100 reads 19,6 and not 19,600000000000001.
    return QString::number(pourcent, 'g', 15).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString designationTicket(const QString &designation, bool recharge)
{
    // Only a final euro sign: "Prepaid top-up €10" must not print as "€1E".
    if (!recharge || !designation.endsWith(QChar(0x20AC)))
        return designation;
    return designation.left(designation.size() - 1) + QLatin1Char('E');
}

QStringList lignesEnTeteTicket(const InfoSocieteVente &societe, const QDateTime &moment,
                               const QString &identiteMachine, qint64 numeroVente,
                               const TableMessages &messages)
{
    QStringList lignes;
    if (!societe.Adresse.isEmpty())
        lignes << societe.Adresse;
    if (!societe.Ville.isEmpty())
        lignes << societe.CodePostal + QStringLiteral("  ") + societe.Ville;
    if (!societe.Tel.isEmpty())
        lignes << societe.Tel;
    lignes << QString() << moment.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) << QString()
           << messages.MsgFacture + identiteMachine + QString::number(numeroVente) << regleTicket;
    return lignes;
}

QStringList lignesArticleTicket(const QString &designation, Monnaie prix,
                                const TableMessages &messages)
{
    return {designation, messages.MsgMontant + tabs + texteMontantTicket(prix) + euros};
}

QStringList lignesPiedTicket(const PiedTicket &pied, const TableMessages &messages)
{
    const MontantsTaxe taxe = calculerTaxe(pied.montantAPayer, pied.tauxTVA);
    // Each printed at two decimals, HT and TVA could both round up and exceed the total by a
    // cent; the printed tax is what the printed total leaves.
    const Monnaie htImprime = Monnaie::depuisCentimes(taxe.HT.centimes());
    const Monnaie tvaImprimee = Monnaie::depuisCentimes(taxe.TTC.centimes()) - htImprime;

    QStringList lignes;
    lignes << regleTicket << messages.MsgHT + tabs + texteMontantTicket(htImprime) + euros
           << messages.MsgTVA + QLatin1Char(' ') + texteTauxTicket(pied.tauxTVA * 100.0) +
                  QStringLiteral(": ") + tabs + texteMontantTicket(tvaImprimee) + euros
           << messages.MsgTotalTTC + tabs + texteMontantTicket(taxe.TTC) + euros;
    if (pied.debitNonEffectue)
        lignes << messages.MsgDebitNonEffectue;
    if (pied.echecDistribution) {
        lignes << messages.MsgProblemeDistribution;
        if (!pied.rechargeAServir) {
            lignes << QString() << messages.MsgPlusRecharge.mid(1)
                   << messages.MsgMontant + tabs +
                          texteMontantTicket(Monnaie::depuisCentimes(pied.prixRechargeCentimes)) +
                          euros;
        }
    }
    if (pied.echecDistribution || pied.debitNonEffectue)
        lignes << QString() << messages.MsgContacterResponsable
               << pied.tel + QLatin1Char(' ') + messages.MsgReclamation;
    lignes << QString() << messages.MsgMerci;
    for (int i = 0; i < 6; ++i)
        lignes << QString();
    return lignes;
}

QByteArray octetsImprimante(const QString &texte)
{
    QByteArray octets;
    octets.reserve(texte.size());
    for (const QChar c : texte) {
        const int code = Platform::windows1252Code(c);
        if (code >= 0)
            octets.append(char(code));
        else if (c.unicode() < 0x100)
            octets.append(char(c.unicode()));
        else
            octets.append('?');
    }
    return octets;
}

QList<QByteArray> morceauxImpression(const QString &customerTicket, const QString &nomSociete,
                                     const QString &ticketText)
{
    return {octetsImprimante(customerTicket) + "\r\n\n",
            QByteArray(46, '.') + "\r\n\n",
            QByteArray("\x1b!\x28", 3),
            octetsImprimante(nomSociete) + '\n',
            QByteArray("\x1b!\x00", 3),
            octetsImprimante(ticketText) + '\n',
            QByteArray("\x1bi\r\n", 4)};
}

QByteArray octetsImpression(const QString &customerTicket, const QString &nomSociete,
                            const QString &ticketText)
{
    QByteArray octets;
    for (const QByteArray &morceau : morceauxImpression(customerTicket, nomSociete, ticketText))
        octets += morceau;
    return octets;
}

void ImprimerTicket(Vente &contexte)
{
    const State::EtatDemarrage &e = State::etat();
    const EtatVente &vente = contexte.etat();
    // A failed delivery or a card not debited always gets a ticket.
    if (e.TicketActif || vente.EchecDistribution ||
        statutDebitVente(vente, contexte.terminal().etat()) != StatutDebit::Debite) {
        Platform::SerialLine *ligne = nullptr;
        try {
            ligne = &contexte.poste().ligneImprimante();
            if (!ligne->isOpen()) {
                ligne->setInputLength(0);
                if (!ligne->open(e.PortImprimante,
                                 QString::fromLatin1(Platform::TicketPrinterSettings)))
                    throw Journal::ErreurExecution(ErreurPortImprimante, ligne->errorText());
            }
            while (ligne->bytesAvailable() > 0)
                ligne->read();
            const QList<QByteArray> morceaux =
                morceauxImpression(contexte.terminal().etat().CustomerTicketText,
                                   vente.InfoSociete.Nom, vente.TicketText);
            Platform::pointArret("imprimante: ticket");
            for (const QByteArray &morceau : morceaux) {
                if (!ligne->write(morceau))
                    throw Journal::ErreurExecution(ErreurEcritureImprimante, ligne->errorText());
            }
            ligne->close();
        } catch (const Journal::ErreurExecution &erreur) {
            // Not left holding the device: the next sale opens it afresh.
            if (ligne)
                ligne->close();
            Journal::SignalerErreur(QStringLiteral("ImprimerTicket"), erreur);
            return;
        }
    }
    contexte.affichage().afficherInvite(e.Messages.MsgPrenezTicket);
    contexte.affichage().rafraichir();
    Utilities::AttendreInterruptible(AttentePriseTicketS);
}

} // namespace Movendi::Sale
