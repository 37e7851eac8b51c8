#include "state/gardes.h"

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
