#pragma once

namespace Movendi::Startup {

// The guards against re-entry, in one place.
//
// Everything runs on the UI thread, and the long steps wait by processing events: the timed
// waits (AttendreInterruptible), the terminal's listening phases, the mail and FTP transfers,
// the door wait of a delivery, the film's loading. A touch, a key or a timer can therefore run
// inside a sale. Each handler that could disturb what is under way asks these guards first:
//
// - a sale (GardeVente, from the payment screen's activation to the return home): no second
//   basket is validated, no message box is shown (configuration and export failures are only
//   journalled), the automatic return does not hide the payment screen, the attract film does
//   not start and the home screen does not take the front;
// - a return home (GardeRetourAccueil, while the screens are swapped): touches, keys and the
//   automatic-return count do nothing, and AttendreInterruptible ends at once.
//
// The flags live in the shared state (VenteEnCours, RetourAccueilEnCours), where the rest of
// the kiosk reads them; only these guards set them.

// Held for the whole of a sale. Not nested: one sale at a time.
class GardeVente
{
public:
    GardeVente();
    ~GardeVente();
    GardeVente(const GardeVente &) = delete;
    GardeVente &operator=(const GardeVente &) = delete;

    static bool active();
};

// No message box may wait for a touch while a sale or the nightly run goes on (GardeVente,
// GardeNuit in state/disponibilite.h): what would have been shown is journalled instead.
bool boitesInterdites();

// Held while the kiosk goes back to the home screen.
class GardeRetourAccueil
{
public:
    GardeRetourAccueil();
    ~GardeRetourAccueil();
    GardeRetourAccueil(const GardeRetourAccueil &) = delete;
    GardeRetourAccueil &operator=(const GardeRetourAccueil &) = delete;

    static bool active();
};

} // namespace Movendi::Startup
