#pragma once

#include <QList>

class QWidget;

namespace Movendi::State {

/// The customer screens as start-up and the navigation routines reach them. The front end
/// installs its implementation before Main runs and keeps it for the program's life.
class Ecrans
{
public:
    virtual ~Ecrans() = default;

    /// Creates the screens once and runs their load handlers.
    virtual void charger() = 0;
    virtual bool accueilCharge() const = 0;
    /// The customer screens to translate, in the order home, product choice, payment; loads
    /// them first when they are not loaded yet. Screens that do not exist yet are left out.
    virtual QList<QWidget *> ecransClients() = 0;
    /// Shows the home screen (not modal) and gives it the keyboard.
    virtual void afficherAccueil() = 0;
    /// Restarts the home screen's automatic-return count from zero.
    virtual void relancerTimerRetourAutomatique() = 0;
    virtual void arreterTimerRetourAutomatique() = 0;

    /// The steps of the return home: hide the sale screens that are visible, unload the refill
    /// screen, show the home screen and restart its attract-video count.
    virtual void cacherEcransVente() = 0;
    virtual void dechargerRemplissage() = 0;
    virtual void montrerAccueil() = 0;
    /// Disables the home screen's animation timer (and with it the door polling) until the
    /// home screen is activated again.
    virtual void arreterAnimation() = 0;
    /// Disables and enables the home screen's animation timer again, restarting its count.
    virtual void relancerAnimation() {}
    /// The home screen, or null before it is loaded.
    virtual QWidget *accueil() const = 0;
    /// Checks that the store and the error journal take writes and settles the sales a power
    /// cut or a crash left in flight, before the home screen shows; the kiosk is out of
    /// service until both are done.
    virtual void reprendreVentesInterrompues() {}
};

Ecrans *ecrans();
void installEcrans(Ecrans *ecrans);

// Restarts the home screen's automatic-return count, unless a return home is under way.
void RelancerRetourAutomatique();

// Stops the home screen's automatic-return timer, unless a return home is under way.
void ArreterRetourAutomatique();

} // namespace Movendi::State
