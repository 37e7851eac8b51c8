#include "sale/postevente.h"

#include "machine/automate.h"
#include "payment/pontagetpvnew.h"
#include "payment/resultatstpe.h"
#include "platform/clock.h"
#include "platform/pointarret.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "sale/surveillancemagasin.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

namespace Movendi::Sale {

namespace Resultat = Payment::Resultat;

PosteVente::PosteVente(Payment::LiaisonTerminal &terminal) : PosteVente(terminal, Appareils{}) {}

PosteVente::PosteVente(Payment::LiaisonTerminal &terminal, Appareils appareils)
    : m_terminal(terminal), m_appareils(appareils),
      m_surveillance(std::make_unique<SurveillanceMagasin>(*this))
{
}

PosteVente::~PosteVente() = default;

Machine::MachineControl &PosteVente::automate() const
{
    return m_appareils.automate ? *m_appareils.automate : Machine::automate();
}

Platform::Clock &PosteVente::horloge() const
{
    return m_appareils.horloge ? *m_appareils.horloge : Platform::clock();
}

Store::StoreDatabase &PosteVente::base()
{
    if (!m_base)
        m_base = std::make_unique<Store::StoreDatabase>();
    return *m_base;
}

void PosteVente::fermerBase()
{
    m_base.reset();
}

Platform::SerialLine &PosteVente::ligneImprimante()
{
    if (!m_imprimante) {
        Platform::SerialLineFactory &lignes =
            m_appareils.lignes ? *m_appareils.lignes : Platform::serialLines();
        m_imprimante = lignes.create(State::etat().CheminIni);
    }
    return *m_imprimante;
}

void PosteVente::magasinEnPanne(const QString &raison)
{
    m_surveillance->signalerEchec(raison);
}

int PosteVente::debiter(EtatVente &vente)
{
    Payment::EtatPaiement &paiement = m_terminal.etat();
    paiement.PaymentAmountCents = vente.MontantAPayer.centimes();
    // Never sent twice for one sale: the journal says it went before it goes. A journal the
    // store refused sends nothing now: the sale is settled once the store takes it.
    if (m_journal.ouvert() && !m_journal.debitVaPartir(base(), paiement.PaymentAmountCents)) {
        vente.ResultatDebit.reset();
        return DebitNonEnvoye;
    }
    int resultat = Resultat::DebitSansLigne;
    for (int essai = 0; essai < 3; ++essai) {
        Utilities::Attendre(0.2);
        Platform::pointArret("terminal: débit");
        resultat = m_terminal.DemEnr(true);
        if (resultat != Resultat::DebitSansLigne && resultat != Resultat::DebitIndisponible)
            break;
    }
    vente.ResultatDebit = resultat;
    if (m_journal.ouvert())
        m_journal.debitRepondu(base(), resultat, paiement);
    return resultat;
}

} // namespace Movendi::Sale
