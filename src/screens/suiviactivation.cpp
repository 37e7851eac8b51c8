#include "screens/suiviactivation.h"

#include <QEvent>
#include <QWidget>

namespace Movendi::Screens {

SuiviActivation::SuiviActivation(std::function<void()> activation)
    : m_activation(std::move(activation))
{
}

void SuiviActivation::activer()
{
    m_active = true;
    if (m_activation)
        m_activation();
}

void SuiviActivation::montre()
{
    if (!m_active)
        activer();
}

void SuiviActivation::cache()
{
    m_active = false;
}

void SuiviActivation::changement(const QWidget &ecran, const QEvent &event)
{
    if (event.type() != QEvent::ActivationChange)
        return;
    if (!ecran.isActiveWindow())
        m_active = false;
    else if (!m_active && ecran.isVisible())
        activer();
}

} // namespace Movendi::Screens
