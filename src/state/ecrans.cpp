#include "state/ecrans.h"

#include "state/etatdemarrage.h"

namespace Movendi::Startup {

namespace {
Ecrans *&installes()
{
    static Ecrans *screens = nullptr;
    return screens;
}
} // namespace

Ecrans *ecrans()
{
    return installes();
}

void installerEcrans(Ecrans *e)
{
    installes() = e;
}

void RelancerRetourAutomatique()
{
    if (!etat().RetourAccueilEnCours && ecrans())
        ecrans()->relancerTimerRetourAutomatique();
}

void ArreterRetourAutomatique()
{
    if (!etat().RetourAccueilEnCours && ecrans())
        ecrans()->arreterTimerRetourAutomatique();
}

} // namespace Movendi::Startup
