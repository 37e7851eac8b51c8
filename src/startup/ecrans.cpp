#include "ecrans.h"

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

} // namespace Movendi::Startup
