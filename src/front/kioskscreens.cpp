#include "front/kioskscreens.h"

#include "config/fnkestrel.h"
#include "front/clavierclients.h"
#include "front/fnacceuil.h"
#include "platform/kiosktimer.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"
#include "sale/postevente.h"
#include "sale/surveillancemagasin.h"
#include "screens/fullscreenkeeper.h"
#include "screens/navigation.h"
#include "stock/frmremplissage.h"

namespace Movendi::Front {

KioskScreens::KioskScreens(Sale::PosteVente &poste) : m_poste(poste) {}

Payment::LiaisonTerminal &KioskScreens::terminal() const
{
    return m_poste.terminal();
}

KioskScreens::~KioskScreens()
{
    m_clavier.reset();
    // The home screen refers to the choice screen: it goes first.
    m_accueil.reset();
    m_remplissage.reset();
    m_choix.reset();
    m_paiement.reset();
}

void KioskScreens::charger()
{
    if (m_accueil)
        return;
    m_paiement = std::make_unique<Sale::FrmPayment>(m_poste);
    m_choix = std::make_unique<Sale::FrmChoix>(m_paiement.get());
    m_accueil = std::make_unique<FnAcceuil>(
        m_choix.get(), [this](const QString &personnel) { ouvrirRemplissage(personnel); },
        m_poste.terminal());
    m_clavier = std::make_unique<ClavierClients>(QList<QWidget *>{m_choix.get(), m_paiement.get()});
    m_paiement->Form_Load();
    m_accueil->Form_Load();
}

bool KioskScreens::accueilCharge() const
{
    return m_accueil != nullptr;
}

QList<QWidget *> KioskScreens::ecransClients()
{
    charger();
    return {m_accueil.get(), m_choix.get(), m_paiement.get()};
}

void KioskScreens::afficherAccueil()
{
    Screens::FullScreenKeeper::showFullScreen(m_accueil.get());
    Screens::MettreAuPremierPlan(m_accueil.get());
    m_accueil->setFocus();
}

void KioskScreens::relancerTimerRetourAutomatique()
{
    if (m_accueil)
        m_accueil->timerRetourAutomatique()->restart();
}

void KioskScreens::arreterTimerRetourAutomatique()
{
    if (m_accueil)
        m_accueil->timerRetourAutomatique()->stop();
}

void KioskScreens::cacherEcransVente()
{
    for (QWidget *ecran :
         {static_cast<QWidget *>(m_choix.get()), static_cast<QWidget *>(m_paiement.get())}) {
        if (ecran && ecran->isVisible())
            ecran->hide();
    }
}

void KioskScreens::dechargerRemplissage()
{
    if (!m_remplissage)
        return;
    // The screen may be the caller (its own timer ends it): deleted once back in the event loop.
    m_remplissage->Form_Unload();
    m_remplissage->hide();
    m_remplissage.release()->deleteLater();
}

void KioskScreens::montrerAccueil()
{
    if (!m_accueil)
        return;
    Screens::FullScreenKeeper::showFullScreen(m_accueil.get());
    m_accueil->timerVideo()->restart();
}

QWidget *KioskScreens::accueil() const
{
    return m_accueil.get();
}

void KioskScreens::reprendreVentesInterrompues()
{
    charger();
    // The journal and the store checked, the sales left in flight settled; out of service
    // until they can be.
    m_poste.surveillanceMagasin().verifierAuDemarrage();
}

void KioskScreens::arreterAnimation()
{
    if (m_accueil)
        m_accueil->timerAnimation()->stop();
}

void KioskScreens::relancerAnimation()
{
    if (m_accueil)
        m_accueil->timerAnimation()->restart();
}

void KioskScreens::ouvrirRemplissage(const QString &personnel)
{
    if (!m_remplissage)
        m_remplissage = std::make_unique<Stock::FrmRemplissage>(&m_poste.ligneImprimante());
    if (!personnel.isEmpty())
        m_remplissage->definirPersonnel(personnel);
    Screens::FullScreenKeeper::showFullScreen(m_remplissage.get());
    Screens::MettreAuPremierPlan(m_remplissage.get());
}

} // namespace Movendi::Front
