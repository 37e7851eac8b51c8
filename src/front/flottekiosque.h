#pragma once

#include <memory>

namespace Movendi::Platform {
class LienMosquitto;
}
namespace Movendi::Flotte {
class ServiceFlotte;
}

namespace Movendi::Front {

class KioskScreens;
class SuiviEcran;

// The fleet as the kiosk programs run it: the broker's link through libmosquitto, the fleet's
// service on the configuration of the application folder, and the screens' changes told to it.
// Built before start-up (the outbox is fed from then on), started once the home screen shows,
// stopped before the program ends. Without a broker in the configuration it does nothing.
class FlotteKiosque
{
public:
    explicit FlotteKiosque(KioskScreens &ecrans);
    ~FlotteKiosque();
    FlotteKiosque(const FlotteKiosque &) = delete;
    FlotteKiosque &operator=(const FlotteKiosque &) = delete;

    void demarrer();
    void arreter();
    Flotte::ServiceFlotte &service() { return *m_service; }

private:
    KioskScreens &m_ecrans;
    std::unique_ptr<Platform::LienMosquitto> m_lien;
    std::unique_ptr<Flotte::ServiceFlotte> m_service;
    std::unique_ptr<SuiviEcran> m_suivi;
};

} // namespace Movendi::Front
