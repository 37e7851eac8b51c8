#include "money/monnaie.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

using Movendi::Money::Monnaie;

namespace {

TEST(MonnaieTest, CentsAndUnits_ExactOverManySales)
{
    Monnaie total;
    for (int i = 0; i < 100000; ++i)
        total += Monnaie::depuisCentimes(10); // 0.10 EUR, which a double cannot hold exactly
    EXPECT_EQ(total, Monnaie::depuisCentimes(1000000));
    EXPECT_EQ(Monnaie::depuisUnites(4999).centimes(), 50);
    EXPECT_EQ(Monnaie::depuisUnites(-4950).centimes(), -50);
}

// Screens, tickets and the journal write amounts through one formatter, each in its form.
struct Forme
{
    std::int64_t unites;
    const char *ecran;
    const char *ticket;
    const char *exact;
};

std::string nomForme(const ::testing::TestParamInfo<Forme> &cas)
{
    const std::int64_t u = cas.param.unites;
    return (u < 0 ? "Moins" : "") + std::to_string(u < 0 ? -u : u);
}

void PrintTo(const Forme &cas, std::ostream *os)
{
    *os << cas.unites;
}

class MonnaieFormesTest : public ::testing::TestWithParam<Forme>
{
};

TEST_P(MonnaieFormesTest, RoundedOrExact)
{
    const Forme &c = GetParam();
    const Monnaie m = Monnaie::depuisUnites(c.unites);
    EXPECT_EQ(m.texteMonetaire(), QString::fromUtf8(c.ecran));
    EXPECT_EQ(m.texteCentimes(), QString::fromUtf8(c.ticket));
    EXPECT_EQ(m.texteExact(), QString::fromUtf8(c.exact));
}

INSTANTIATE_TEST_SUITE_P(
    Montants, MonnaieFormesTest,
    ::testing::Values(Forme{1999000, "199,90 €", "199,90", "199,9"},
                      Forme{100000, "10,00 €", "10,00", "10"},
                      Forme{12345678, "1\u00A0234,57 €", "1234,57", "1234,5678"},
                      Forme{-49, "0,00 €", "0,00", "-0,0049"},
                      Forme{-12345, "-1,23 €", "-1,23", "-1,2345"},
                      Forme{4990 * 100, "49,90 €", "49,90", "49,9"},
                      Forme{129900 * 100, "1\u00A0299,00 €", "1299,00", "1299"},
                      Forme{-5 * 100, "-0,05 €", "-0,05", "-0,05"}),
    nomForme);

// What the kiosk reads back: its own texts, plain decimals with comma or point, or nothing.
struct Lecture
{
    const char *texte;
    std::optional<std::int64_t> centimes;
};

void PrintTo(const Lecture &cas, std::ostream *os)
{
    *os << '"' << cas.texte << '"';
}

class MonnaieLectureTest : public ::testing::TestWithParam<Lecture>
{
};

TEST_P(MonnaieLectureTest, ReadsItsOwnFormsAndRefusesTheRest)
{
    const Lecture &c = GetParam();
    const std::optional<Monnaie> lu = Monnaie::depuisTexte(QString::fromUtf8(c.texte));
    if (c.centimes)
        EXPECT_EQ(lu, Monnaie::depuisCentimes(*c.centimes));
    else
        EXPECT_FALSE(lu);
}

INSTANTIATE_TEST_SUITE_P(
    Textes, MonnaieLectureTest,
    ::testing::Values(Lecture{"1\u00A0299,00 €", 129900}, Lecture{"12.5", 1250}, Lecture{"", 0},
                      Lecture{"-0,05 €", -5}, Lecture{"douze €", {}}, Lecture{"1,2,3", {}},
                      Lecture{",5", {}}, Lecture{"1,23456", {}},
                      // Past what the unit count holds, or signs where
                      // none belongs: refused, never wrapped around.
                      Lecture{"922337203685477", 92233720368547700},
                      Lecture{"922337203685477,5808", {}}, Lecture{"922337203685478", {}},
                      Lecture{"99999999999999999999", {}}, Lecture{"1,-1", {}}, Lecture{"-+5", {}},
                      Lecture{"+5", 500}, Lecture{"1,5e3", {}}),
    [](const ::testing::TestParamInfo<Lecture> &cas) {
        return "Texte" + std::to_string(cas.index);
    });

// Every text the formatter writes reads back to the amount it was written from.
TEST(MonnaieTest, TextsReadBack)
{
    for (const std::int64_t unites : {0LL, 1LL, -1LL, 4999LL, 1999000LL, -12345LL, 987654321LL}) {
        const Monnaie m = Monnaie::depuisUnites(unites);
        EXPECT_EQ(Monnaie::depuisTexte(m.texteExact()), m) << unites;
        EXPECT_EQ(Monnaie::depuisTexte(m.texteMonetaire()), Monnaie::depuisCentimes(m.centimes()))
            << unites;
    }
}

} // namespace

TEST(MonnaieLimites, TheLargestAmountReadRoundsToItsCentWithoutOverflow)
{
    const std::optional<Monnaie> max = Monnaie::depuisTexte(QStringLiteral("922337203685477,5807"));
    ASSERT_TRUE(max);
    EXPECT_EQ(max->centimes(), 92233720368547758);
    EXPECT_EQ(max->texteCentimes(), QStringLiteral("922337203685477,58"));
    EXPECT_EQ(Monnaie::depuisTexte(QStringLiteral("-922337203685477,5807"))->centimes(),
              -92233720368547758);
}
