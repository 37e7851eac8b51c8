#include "sale/vente.h"

#include "sale/affichagevente.h"
#include "sale/distribution.h"
#include "sale/enregistrement.h"
#include "sale/journalvente.h"
#include "sale/postevente.h"
#include "sale/prixvente.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "payment/pontagetpvnew.h"
#include "payment/resultatstpe.h"
#include "platform/clock.h"
#include "platform/pointarret.h"
#include "reporting/synchrserv.h"
#include "state/disponibilite.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "utilities/fonctionutilitaires.h"

#include <exception>

namespace Movendi::Sale {

namespace Resultat = Payment::Resultat;

namespace {

constexpr qint64 AttenteCarteMs = 60000;
const QString RetirezCarte = QStringLiteral("RETIREZ VOTRE CARTE BANCAIRE");

} // namespace

Vente::Vente(PosteVente &poste, AffichageVente &affichage, const Panier &panier)
    : m_poste(poste), m_affichage(affichage), m_panier(panier),
      m_etat(EtatVente::depuisPanier(panier))
{
    m_poste.m_vente = this;
}

Vente::~Vente()
{
    if (m_poste.m_vente == this)
        m_poste.m_vente = nullptr;
}

Payment::LiaisonTerminal &Vente::terminal()
{
    return m_poste.terminal();
}

Store::StoreDatabase &Vente::base()
{
    return m_poste.base();
}

JournalVente &Vente::journalVente()
{
    return m_poste.journalVente();
}

void Vente::preparer()
{
    base();
}

void Vente::MakePayment()
{
    try {
        // Nothing of the previous sale may be printed or recorded with this one.
        terminal().etat().reinitialiserTransaction();
        m_affichage.montrerMontant(true);
        m_journalImpossible = false;
        if (!montantVendable(m_panier.MontantAPayer)) {
            // Refused before the terminal is asked anything.
            Journal::JournaliserErreur(QStringLiteral("make payment"),
                                       QStringLiteral("montant refusé: ") +
                                           m_panier.MontantAPayer.texteMonetaire());
        } else if (Payer()) {
            MiseAJourStock(*this);
            EnregistrerCommande(*this);
            if (State::disponibilite().disponible())
                Reporting::TransferFTP();
        } else if (m_journalImpossible) {
            Journal::JournaliserErreur(QStringLiteral("make payment"),
                                       QStringLiteral("vente annulée: journal de vente "
                                                      "impossible à écrire, rien livré ni débité"));
        } else {
            Journal::JournaliserErreur(QStringLiteral("make payment"),
                                       QStringLiteral("sortie par payer=faux"));
        }
        m_affichage.retourAccueil();
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("MakePayment"), erreur);
    } catch (const std::exception &erreur) {
        Journal::SignalerErreur(QStringLiteral("MakePayment"),
                                Journal::ErreurExecution(Journal::Erreurs::ErreurInterne,
                                                         QString::fromLocal8Bit(erreur.what())));
    }
}

bool Vente::attendreCarte(const std::function<bool()> &poll)
{
    Platform::Clock &horloge = m_poste.horloge();
    const qint64 debut = horloge.monotonicMs();
    bool enEvidence = false;
    bool arrivee = false;
    for (;;) {
        horloge.processEventsFor(0);
        m_affichage.mettreEnEvidenceConsigne(enEvidence);
        enEvidence = !enEvidence;
        m_affichage.rafraichir();
        if (horloge.monotonicMs() - debut > AttenteCarteMs || m_abandonAttente)
            break;
        if (poll()) {
            arrivee = true;
            break;
        }
    }
    m_affichage.mettreEnEvidenceConsigne(false);
    return arrivee;
}

bool Vente::abandonnerAttenteCarte()
{
    if (!m_attenteCarte)
        return false;
    m_abandonAttente = true;
    return true;
}

bool Vente::Payer()
{
    Payment::LiaisonTerminal &lien = terminal();
    State::ArreterRetourAutomatique();
    if (State::Ecrans *e = State::ecrans())
        e->arreterAnimation();
    lien.installerAffichages(&m_affichage.affichageTerminal(), lien.affichageAccueil());

    m_affichage.afficherConsigne(State::etat().Messages.MsgInsererCarte);
    lien.etat().PaymentAmountCents = m_etat.MontantAPayer.centimes();

    m_attenteCarte = true;
    m_abandonAttente = false;
    const bool carte = attendreCarte([&lien] { return lien.DemSwi() == Resultat::Ok; });
    m_attenteCarte = false;
    m_abandonAttente = false;
    if (!carte) {
        State::RelancerRetourAutomatique();
        return false;
    }
    m_affichage.revenirAuPaiement();

    m_affichage.afficherConsigne(State::etat().Messages.MsgPatientez);
    m_affichage.montrerAnnulation(false);
    m_affichage.rafraichir();
    Utilities::AttendreInterruptible(0.3);

    bool autorise = false;
    for (int essai = 0; essai < 3; ++essai) {
        Utilities::Attendre(0.2);
        Platform::pointArret("terminal: solvabilité");
        const int resultat = lien.DemVal(true);
        autorise = resultat == Resultat::Ok;
        if (resultat != Resultat::SolvabiliteSansLigne &&
            resultat != Resultat::SolvabiliteIndisponible)
            break;
    }
    // From here a kill must not lose the sale: the journal knows the authorised basket. A
    // sale the store cannot journal goes no further: nothing delivered, nothing debited.
    if (autorise)
        autorise = journaliserAutorisation();
    AttendreRetraitCarte();
    m_affichage.montrerInvite(false);
    State::RelancerRetourAutomatique();
    return autorise;
}

bool Vente::journaliserAutorisation()
{
    try {
        m_journalImpossible = !journalVente().ouvrir(
            base(), m_panier, terminal().etat().PaymentAmountCents, State::etat().Langue);
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("JournalVente"), erreur);
        m_journalImpossible = true;
    }
    if (!m_journalImpossible)
        return true;
    m_affichage.afficherConsigne(State::etat().Messages.MsgEnPanne);
    m_affichage.afficherInvite(State::etat().Messages.MsgDebitNonEffectue);
    m_affichage.montrerInvite(true);
    m_affichage.rafraichir();
    m_poste.magasinEnPanne(QStringLiteral("journal de vente impossible à ouvrir"));
    return false;
}

void Vente::AttendreRetraitCarte()
{
    Payment::LiaisonTerminal &lien = terminal();
    m_affichage.afficherConsigne(RetirezCarte);
    m_affichage.afficherPanneau(RetirezCarte);
    m_affichage.rafraichir();
    attendreCarte([&lien] { return lien.DemSwi() == Resultat::SansCarte; });
    m_affichage.cacherPanneau();
}

int Vente::DebiterMontant()
{
    return m_poste.debiter(m_etat);
}

} // namespace Movendi::Sale
