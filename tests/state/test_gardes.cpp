#include "state/disponibilite.h"
#include "state/gardes.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <variant>

using namespace Movendi::State;

namespace {

// What runs, held by its guard for the test's length.
enum class EnCours { Rien, Vente, Nuit, Remplissage, RetourAccueil };

// What each rule allows while that runs.
struct Regles
{
    EnCours enCours;
    bool boitesInterdites;
    bool terminalLibre;
    bool filmPermis;
    bool remplissagePermis;
    bool ecransStables;
};

using Garde = std::variant<std::monostate, std::unique_ptr<GardeVente>, std::unique_ptr<GardeNuit>,
                           std::unique_ptr<GardeRemplissage>, std::unique_ptr<GardeRetourAccueil>>;

Garde tenir(EnCours enCours)
{
    switch (enCours) {
    case EnCours::Vente:
        return std::make_unique<GardeVente>();
    case EnCours::Nuit:
        return std::make_unique<GardeNuit>();
    case EnCours::Remplissage:
        return std::make_unique<GardeRemplissage>();
    case EnCours::RetourAccueil:
        return std::make_unique<GardeRetourAccueil>();
    case EnCours::Rien:
        break;
    }
    return {};
}

void verifier(const Regles &r)
{
    EXPECT_EQ(boitesInterdites(), r.boitesInterdites) << "boitesInterdites";
    EXPECT_EQ(terminalLibre(), r.terminalLibre) << "terminalLibre";
    EXPECT_EQ(filmPermis(), r.filmPermis) << "filmPermis";
    EXPECT_EQ(remplissagePermis(), r.remplissagePermis) << "remplissagePermis";
    EXPECT_EQ(ecransStables(), r.ecransStables) << "ecransStables";
}

const char *nom(EnCours enCours)
{
    static const char *const noms[] = {"Rien", "Vente", "Nuit", "Remplissage", "RetourAccueil"};
    return noms[int(enCours)];
}

std::string nomCas(const ::testing::TestParamInfo<Regles> &cas)
{
    return nom(cas.param.enCours);
}

void PrintTo(const Regles &cas, std::ostream *os)
{
    *os << nom(cas.enCours);
}

const Regles Libre{EnCours::Rien, false, true, true, true, true};

class GardesTest : public ::testing::TestWithParam<Regles>
{
protected:
    void SetUp() override { disponibilite().reinitialiser(); }
    void TearDown() override { disponibilite().reinitialiser(); }
};

// Each guard forbids what would disturb what it protects, and only that, for as long as it is
// held; its end gives everything back.
TEST_P(GardesTest, RulesHoldWhileTheGuardIsHeldAndEndWithIt)
{
    {
        Garde garde = tenir(GetParam().enCours);
        verifier(GetParam());
    }
    verifier(Libre);
}

INSTANTIATE_TEST_SUITE_P(
    CeQuiTourne, GardesTest,
    ::testing::Values(Libre, Regles{EnCours::Vente, true, false, false, true, true},
                      Regles{EnCours::Nuit, true, false, true, false, true},
                      Regles{EnCours::Remplissage, false, true, false, true, true},
                      Regles{EnCours::RetourAccueil, false, true, true, true, false}),
    nomCas);

// The night's end puts the kiosk back in service only if nothing else keeps it out: a store
// that refused a write during the night still holds it, with what it said.
TEST(DisponibiliteTest, NightEndLeavesAStoreFaultStanding)
{
    disponibilite().reinitialiser();
    QSignalSpy changes(&disponibilite(), &Disponibilite::changee);
    {
        GardeNuit nuit;
        disponibilite().mettre(Indisponibilite::MagasinNonInscriptible,
                               QStringLiteral("disk I/O error"));
        EXPECT_TRUE(nuitEnCours());
    }
    EXPECT_FALSE(nuitEnCours());
    EXPECT_FALSE(disponibilite().disponible());
    EXPECT_EQ(disponibilite().detail(Indisponibilite::MagasinNonInscriptible),
              QStringLiteral("disk I/O error"));
    EXPECT_EQ(changes.count(), 3);

    disponibilite().lever(Indisponibilite::MagasinNonInscriptible);
    EXPECT_TRUE(disponibilite().disponible());
    disponibilite().reinitialiser();
}

} // namespace
