#pragma once

#include "front/kioskscreens.h"
#include "payment/pontagetpvnew.h"
#include "sale/postevente.h"
#include "startup/installations.h"

namespace Movendi::Front {

// The kiosk program's objects, built once and handed down: the terminal's link (on the port,
// file and journal of the configuration), the sale desk that uses it, and the screens that sell
// at that desk, installed as the program's screens for as long as this lives. The composition
// root of the kiosk, the captures tool and the screen tests.
class Kiosque
{
public:
    Kiosque();
    ~Kiosque();
    Kiosque(const Kiosque &) = delete;
    Kiosque &operator=(const Kiosque &) = delete;

    Payment::LiaisonTerminal &terminal() { return m_terminal; }
    Sale::PosteVente &poste() { return m_poste; }
    KioskScreens &ecrans() { return m_ecrans; }

private:
    Payment::LiaisonTerminal m_terminal;
    Sale::PosteVente m_poste;
    KioskScreens m_ecrans;
    Startup::InstalledEcrans m_installation;
};

} // namespace Movendi::Front
