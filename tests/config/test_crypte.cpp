#include "config/crypte.h"
#include "platform/windows1252.h"
#include "startup/demarrage.h"

#include <gtest/gtest.h>

using namespace Movendi::Config;
using namespace Movendi::Startup;
using Movendi::Platform::fromWindows1252;
using Movendi::Platform::windows1252Code;

namespace {

TEST(DecrypterChaineTest, EmptyAndLength)
{
    EXPECT_TRUE(DecrypterChaine(QString()).isEmpty());
    for (int n : {1, 8, 9, 17, 40})
        EXPECT_EQ(DecrypterChaine(QString(n, QChar(0xE9))).size(), n);
}

TEST(DecrypterChaineTest, KeyRepeatsEveryEightCharacters)
{
    // 'k' + 1 = 'l' gives code 1 on the 1st and 9th characters; 'a' + 1 on the 2nd and 10th.
    const QString result = DecrypterChaine(QStringLiteral("lbxxxxxxlb"));
    EXPECT_EQ(result.at(0).unicode(), 1);
    EXPECT_EQ(result.at(1).unicode(), 1);
    EXPECT_EQ(result.at(8).unicode(), 1);
    EXPECT_EQ(result.at(9).unicode(), 1);
}

TEST(DecrypterChaineTest, CodeBelowTheKey_IsRaisedBy255)
{
    // 'A' (65) against 'k' (107): 65 - 107 + 255 = 213.
    EXPECT_EQ(windows1252Code(DecrypterChaine(QStringLiteral("A")).at(0)), 213);
    // Code equal to the key gives 0, not 255.
    EXPECT_EQ(windows1252Code(DecrypterChaine(QStringLiteral("k")).at(0)), 0);
    // Upper-half characters of the code page are taken by their byte: 0x80 (euro) - 'k' = 21.
    EXPECT_EQ(windows1252Code(DecrypterChaine(fromWindows1252("\x80")).at(0)), 21);
}

TEST(DecrypterChaineTest, StoredConstant_DeciphersToThePassword)
{
    const QString constant = MotDePasseChiffre();
    ASSERT_EQ(constant.size(), 15);
    for (QChar c : constant)
        EXPECT_GE(windows1252Code(c), 128);
    EXPECT_EQ(DecrypterChaine(constant).left(5), QStringLiteral("Mv7sK"));
}

TEST(ChaineConnexionTest, BuiltPieceByPiece)
{
    EXPECT_EQ(
        ConstruireChaineConnexion(QStringLiteral("Mv7sK"), QStringLiteral("LOCALHOST"),
                                  QStringLiteral("DBMovendi")),
        QStringLiteral(
            "uid=sa;pwd=Mv7sK;driver={SQL Server}; server=LOCALHOST;database=DBMovendi;dsn=''"));
}

} // namespace
