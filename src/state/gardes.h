#pragma once

namespace Movendi::State {

// What must not be disturbed, and the rules built on it, in one place.
//
// Everything runs on the UI thread, and the long steps wait by processing events: the timed
// waits (AttendreInterruptible), the terminal's listening phases, the mail and FTP transfers,
// the door wait of a delivery, the film's loading. A touch, a key or a timer can therefore run
// inside a sale or the night. Each handler that could disturb what is under way asks one of
// the rules below first. The flags behind them are set by the guards, and only by them: each
// is held for as long as what it protects runs.

// A sale, from its payment screen's activation to the return home (the card wait behind the
// home screen after a cancel included). Not nested: one sale at a time.
class GardeVente
{
public:
    GardeVente();
    ~GardeVente();
    GardeVente(const GardeVente &) = delete;
    GardeVente &operator=(const GardeVente &) = delete;
};

// The nightly run: remittance, backup, reports. The kiosk takes no customer meanwhile.
class GardeNuit
{
public:
    GardeNuit();
    ~GardeNuit();
    GardeNuit(const GardeNuit &) = delete;
    GardeNuit &operator=(const GardeNuit &) = delete;
};

// Staff on the refill screen, from its load to its unload.
class GardeRemplissage
{
public:
    GardeRemplissage();
    ~GardeRemplissage();
    GardeRemplissage(const GardeRemplissage &) = delete;
    GardeRemplissage &operator=(const GardeRemplissage &) = delete;
};

// A return to the home screen, while the screens are swapped (RetourAccueilEnCours).
class GardeRetourAccueil
{
public:
    GardeRetourAccueil();
    ~GardeRetourAccueil();
    GardeRetourAccueil(const GardeRetourAccueil &) = delete;
    GardeRetourAccueil &operator=(const GardeRetourAccueil &) = delete;
};

bool venteEnCours();
bool nuitEnCours();
bool remplissageEnCours();
bool retourAccueilEnCours();

// No message box may wait for a touch during a sale or the night: what would have been shown
// is journalled instead.
bool boitesInterdites();
// The terminal's line and the sales' store connection are free: no sale (a cancelled payment
// may still wait for its card on the line) and no night. The night starts, and sales left in
// flight are settled, only then.
bool terminalLibre();
// The attract film may start: no sale (a modal film would hold a card wait until it ends) and
// no staff on the refill screen.
bool filmPermis();
// Staff may open the refill screen: not during the night (it ends by starting the film again).
bool remplissagePermis();
// Touches, keys and the automatic-return count act: not while the screens are swapped.
bool ecransStables();

} // namespace Movendi::State
