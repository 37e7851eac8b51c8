#include "state/gardes.h"

#include "state/disponibilite.h"
#include "state/etatdemarrage.h"

namespace Movendi::State {

namespace {

bool g_vente = false;
bool g_remplissage = false;

} // namespace

GardeVente::GardeVente()
{
    g_vente = true;
}

GardeVente::~GardeVente()
{
    g_vente = false;
}

GardeNuit::GardeNuit()
{
    disponibilite().mettre(Indisponibilite::NuitEnCours);
}

GardeNuit::~GardeNuit()
{
    disponibilite().lever(Indisponibilite::NuitEnCours);
}

GardeRemplissage::GardeRemplissage()
{
    g_remplissage = true;
}

GardeRemplissage::~GardeRemplissage()
{
    g_remplissage = false;
}

GardeRetourAccueil::GardeRetourAccueil()
{
    etat().RetourAccueilEnCours = true;
}

GardeRetourAccueil::~GardeRetourAccueil()
{
    etat().RetourAccueilEnCours = false;
}

bool venteEnCours()
{
    return g_vente;
}

bool nuitEnCours()
{
    return disponibilite().contient(Indisponibilite::NuitEnCours);
}

bool remplissageEnCours()
{
    return g_remplissage;
}

bool retourAccueilEnCours()
{
    return etat().RetourAccueilEnCours;
}

bool boitesInterdites()
{
    return venteEnCours() || nuitEnCours();
}

bool terminalLibre()
{
    return !venteEnCours() && !nuitEnCours();
}

bool filmPermis()
{
    return !venteEnCours() && !remplissageEnCours();
}

bool remplissagePermis()
{
    return !nuitEnCours();
}

bool ecransStables()
{
    return !retourAccueilEnCours();
}

} // namespace Movendi::State
