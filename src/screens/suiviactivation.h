#pragma once

#include <functional>

class QEvent;
class QWidget;

namespace Movendi::Screens {

// Runs a screen's activation handler once each time the screen becomes the active one: when it
// is shown, and when it is activated again after another window was. The screen forwards its
// show, hide and change events after handling them itself.
class SuiviActivation
{
public:
    explicit SuiviActivation(std::function<void()> activation);

    void montre();
    void cache();
    void changement(const QWidget &ecran, const QEvent &event);

private:
    void activer();

    std::function<void()> m_activation;
    bool m_active = false;
};

} // namespace Movendi::Screens
