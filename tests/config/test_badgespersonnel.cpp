#include "config/badgespersonnel.h"

#include <gtest/gtest.h>

using namespace Movendi::Config;

namespace {

TEST(BadgesPersonnel, EntriesReadBackAndOnlyTheirOwnCodeMatches)
{
    const QString paul = entreeBadge(QStringLiteral("Paul"), QStringLiteral("4012345678"));
    const QString lea = entreeBadge(QStringLiteral("Léa"), QStringLiteral("4012345678"));
    // Same code, each with its own salt: the entries give nothing in common away.
    EXPECT_NE(paul.section(QLatin1Char(':'), 2), lea.section(QLatin1Char(':'), 2));
    EXPECT_FALSE(paul.contains(QStringLiteral("4012345678")));
    const ListeBadges liste = lireBadges(QStringLiteral(" ;") + paul + QStringLiteral(";;") + lea);
    ASSERT_EQ(liste.badges.size(), 2);
    EXPECT_TRUE(liste.erreurs.isEmpty());
    EXPECT_EQ(badgeReconnu(liste.badges, QStringLiteral("4012345678")), QStringLiteral("Paul"));
    for (const char *autre : {"", "401234567", "40123456789", "4012345678 ", "4O12345678"})
        EXPECT_EQ(badgeReconnu(liste.badges, QString::fromLatin1(autre)), std::nullopt) << autre;
    EXPECT_EQ(entreeBadge(QStringLiteral("A"), QStringLiteral("1"), "sel0"),
              entreeBadge(QStringLiteral("A"), QStringLiteral("1"), "sel0"));
}

TEST(BadgesPersonnel, UnreadableEntriesAreNamedAndLeftOut)
{
    const QString bon = entreeBadge(QStringLiteral("Paul"), QStringLiteral("1234"));
    const QString hex = bon.section(QLatin1Char(':'), 2);
    const struct
    {
        QString entree;
        const char *raison;
    } cas[] = {
        {QStringLiteral("Paul"), "nom:sel:empreinte"},
        {QStringLiteral("Paul:abcd:%1:x").arg(hex), "nom:sel:empreinte"},
        {QStringLiteral(" :abcd:%1").arg(hex), "nom vide"},
        {QStringLiteral("Paul:ab:%1").arg(hex), "sel"},
        {QStringLiteral("Paul:a-b-c:%1").arg(hex), "sel"},
        {QStringLiteral("Paul:abcd:%1").arg(hex.left(63)), "SHA-256"},
        {QStringLiteral("Paul:abcd:%1").arg(hex.left(63) + QLatin1Char('g')), "SHA-256"},
    };
    for (const auto &c : cas) {
        const ListeBadges liste = lireBadges(c.entree + QStringLiteral(";") + bon);
        ASSERT_EQ(liste.erreurs.size(), 1) << c.entree.toStdString();
        EXPECT_TRUE(liste.erreurs.first().startsWith(QStringLiteral("badge 1: ")));
        EXPECT_TRUE(liste.erreurs.first().contains(QLatin1String(c.raison)))
            << liste.erreurs.first().toStdString();
        ASSERT_EQ(liste.badges.size(), 1);
        EXPECT_EQ(badgeReconnu(liste.badges, QStringLiteral("1234")), QStringLiteral("Paul"));
    }
}

} // namespace
