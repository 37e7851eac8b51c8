#include "kioskscreens.h"

#include "fnacceuil.h"

#include <QGuiApplication>

namespace Movendi::Front {

KioskScreens::KioskScreens() = default;
KioskScreens::~KioskScreens() = default;

void KioskScreens::charger()
{
    if (!m_accueil)
        m_accueil = std::make_unique<FnAcceuil>();
}

bool KioskScreens::accueilCharge() const
{
    return m_accueil != nullptr;
}

QList<QWidget *> KioskScreens::ecransClients()
{
    charger();
    return {m_accueil.get()};
}

void KioskScreens::afficherAccueil()
{
    m_accueil->showFullScreen();
    m_accueil->raise();
    m_accueil->activateWindow();
    m_accueil->setFocus();
}

void KioskScreens::relancerTimerRetourAutomatique()
{
    // The home screen has no automatic-return timer yet.
}

} // namespace Movendi::Front
