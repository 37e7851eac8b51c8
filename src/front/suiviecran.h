#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace Movendi::Front {

class KioskScreens;

// The screen a customer or staff member sees now, as the fleet's state names it: "remplissage",
// "paiement", "choix", "film", "hors-service" (the home screen taking no customer) or
// "accueil".
QString ecranCourant(const KioskScreens &ecrans);

// Tells `change` once after any window shows or hides, or the service changes (on the next pass
// of the event loop, so that a screen change made of several steps is told once).
class SuiviEcran : public QObject
{
    Q_OBJECT
public:
    SuiviEcran(std::function<void()> change, QObject *parent = nullptr);
    ~SuiviEcran() override;

protected:
    bool eventFilter(QObject *objet, QEvent *evenement) override;

private:
    void planifier();

    std::function<void()> m_change;
    quint64 m_passe = 0;
};

} // namespace Movendi::Front
