#include "front/flottekiosque.h"

#include "flotte/serviceflotte.h"
#include "front/suiviecran.h"
#include "platform/lienmosquitto.h"
#include "state/disponibilite.h"
#include "state/etatdemarrage.h"

namespace Movendi::Front {

namespace {

// Start-up names it from the application folder; a kiosk already started has it.
QString cheminIni()
{
    const State::EtatDemarrage &e = State::etat();
    return e.CheminIni.isEmpty() ? e.dossierApplication + QStringLiteral("/RURUDIZ.ini")
                                 : e.CheminIni;
}

} // namespace

FlotteKiosque::FlotteKiosque(KioskScreens &ecrans)
    : m_ecrans(ecrans), m_lien(std::make_unique<Platform::LienMosquitto>()),
      m_service(std::make_unique<Flotte::ServiceFlotte>(*m_lien, cheminIni()))
{
}

FlotteKiosque::~FlotteKiosque()
{
    arreter();
}

void FlotteKiosque::demarrer()
{
    if (!m_service->actif() || m_suivi)
        return;
    Flotte::SourcesEtat sources;
    sources.ecran = [this] { return ecranCourant(m_ecrans); };
    sources.enService = [] { return State::disponibilite().disponible(); };
    m_service->demarrer(State::etat().IdentiteMachine, std::move(sources));
    m_suivi = std::make_unique<SuiviEcran>([this] { m_service->changement(); });
}

void FlotteKiosque::arreter()
{
    m_suivi.reset();
    m_service->arreter();
}

} // namespace Movendi::Front
