#include "state/ecrans.h"

#include "state/etatdemarrage.h"
#include "state/gardes.h"

namespace Movendi::State {

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

void installEcrans(Ecrans *e)
{
    installes() = e;
}

void RelancerRetourAutomatique()
{
    if (ecransStables() && ecrans())
        ecrans()->relancerTimerRetourAutomatique();
}

void ArreterRetourAutomatique()
{
    if (ecransStables() && ecrans())
        ecrans()->arreterTimerRetourAutomatique();
}

} // namespace Movendi::State
