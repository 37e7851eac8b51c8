#pragma once

#include "startup/ecrans.h"

#include <memory>

namespace Movendi::Front {

class FnAcceuil;

// Owns the customer screens for the program's life and offers them to start-up.
class KioskScreens final : public Startup::Ecrans
{
public:
    KioskScreens();
    ~KioskScreens() override;

    void charger() override;
    bool accueilCharge() const override;
    QList<QWidget *> ecransClients() override;
    void afficherAccueil() override;
    void relancerTimerRetourAutomatique() override;

    FnAcceuil *accueil() const { return m_accueil.get(); }

private:
    std::unique_ptr<FnAcceuil> m_accueil;
};

} // namespace Movendi::Front
