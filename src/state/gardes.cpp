#include "state/gardes.h"

#include "state/disponibilite.h"
#include "state/etatdemarrage.h"

namespace Movendi::Startup {

GardeVente::GardeVente()
{
    etat().VenteEnCours = true;
}

GardeVente::~GardeVente()
{
    etat().VenteEnCours = false;
}

bool GardeVente::active()
{
    return etat().VenteEnCours;
}

bool boitesInterdites()
{
    return GardeVente::active() || GardeNuit::active();
}

GardeRetourAccueil::GardeRetourAccueil()
{
    etat().RetourAccueilEnCours = true;
}

GardeRetourAccueil::~GardeRetourAccueil()
{
    etat().RetourAccueilEnCours = false;
}

bool GardeRetourAccueil::active()
{
    return etat().RetourAccueilEnCours;
}

} // namespace Movendi::Startup
