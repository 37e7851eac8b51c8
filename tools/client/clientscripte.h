#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace Movendi::Front {
class KioskScreens;
}

namespace Movendi::Client {

// The control of a screen by its name and, for an array member, its index; null when the screen
// or the control is not there.
template <typename T = QWidget> T *controle(QWidget *ecran, const QString &nom, int index = -1)
{
    if (!ecran)
        return nullptr;
    for (T *w : ecran->findChildren<T *>(nom)) {
        if (index < 0 || w->property("index").toInt() == index)
            return w;
    }
    return nullptr;
}

// A customer at the kiosk's screens: touches a tile of the home screen, a top-up, validates,
// then follows the payment to its end and takes the article when the door opens.
class ClientScripte
{
public:
    // How the customer follows a payment.
    struct Suivi
    {
        bool prendre = true;                  // takes the article when the door opens
        int periodeMs = 100;                  // between two looks at the payment screen
        int limiteMs = 180000;                // stops following after that
        std::function<void()> pendant;        // at each look, after taking the article
        std::function<void()> avantDePrendre; // just before touching the door's button
    };

    // apresToucher lets the screens settle after each touch; by default a person's short pause.
    explicit ClientScripte(Front::KioskScreens &ecrans, std::function<void()> apresToucher = {});

    // False when there is no such control to touch.
    bool toucher(QWidget *controle) const;
    // The home screen's tile (Image1) at index.
    bool toucherTuile(int index = 0) const;
    // The product choice's top-up (Command1).
    bool ajouterRecharge() const;
    // Validates the product choice (CmdVal) and follows the payment until it has ended or
    // suivi.limiteMs has passed. False when there was nothing to validate.
    bool payer(const Suivi &suivi) const;

private:
    Front::KioskScreens &m_ecrans;
    std::function<void()> m_apresToucher;
};

} // namespace Movendi::Client
