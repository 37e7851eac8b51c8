#include "payment/erreurmpc10.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

using namespace Movendi::Payment;

namespace {

using Row = std::pair<const char16_t *, const char16_t *>;

QString s(const char16_t *text)
{
    return QString::fromUtf16(text);
}

TEST(TexteResultatDemValTest, EveryCode_GivesItsText)
{
    const std::vector<Row> rows = {
        {u"0", u"OK (paiement accepté pour le montant)"},
        {u"1", u"NON OK (MPC10S non disponible)"},
        {u"2", u"MPC10S non disponible et switch maintenance positionné"},
        {u"3", u"PB INIT"},
        {u"4", u"PB ACCES FICHIER"},
        {u"5", u"PB MONTANT DEVISE"},
        {u"6", u"PB CARTE INVALIDE"},
        {u"7", u"PB INCIDENT CARTE"},
        {u"8", u"PB ABANDON"},
        {u"9", u"PB ACCES CENTRE"},
        {u"A", u"PB CARTE INTERDITE"},
        {u"B", u"PB TRANSACTION REFUSEE"},
        {u"C", u"PB SAM MONEO"},
        {u"D", u"PB PME MONEO"},
        {u"E", u"PB OCL A PEAGE"},
        {u"F", u"NUMERO DE DOSSIER DEJA EXISTANT"},
    };
    for (const auto &[code, text] : rows)
        EXPECT_EQ(TexteResultatDemVal(s(code)), s(text)) << s(code).toStdString();
}

TEST(TexteResultatDemValTest, OtherCodes_GiveAnEmptyText)
{
    for (const char16_t *code : {u"a", u"f", u"G", u"", u"00", u" 0", u"0 ", u"Z", u"-"})
        EXPECT_TRUE(TexteResultatDemVal(s(code)).isEmpty()) << s(code).toStdString();
}

TEST(TexteResultatDemEnrTest, EveryCode_GivesItsText)
{
    const std::vector<Row> rows = {
        {u"0", u"OK (paiement enregistré pour le montant)"},
        {u"1", u"NON OK (MPC10S non disponible)"},
        {u"2", u"MPC10S non disponible et switch maintenance positionné"},
        {u"3", u"application non initialisée"},
        {u"4", u"pas de solvabilité accordée préalablement"},
        {u"5", u"montant d\u2019enregistrement supérieur au montant autorisé en classe 1"},
        {u"6", u"solvabilité annulée sur montant = 0"},
        {u"8", u"reprise de la transaction suite à un redémarrage du MPC10S."},
        {u"9", u"numéro de dossier inconnu."},
    };
    for (const auto &[code, text] : rows)
        EXPECT_EQ(TexteResultatDemEnr(s(code)), s(text)) << s(code).toStdString();
}

TEST(TexteResultatDemEnrTest, SevenAndTheSolvencyOnlyCodes_GiveAnEmptyText)
{
    EXPECT_TRUE(TexteResultatDemEnr(QStringLiteral("7")).isEmpty());
    for (const char16_t *code : {u"A", u"B", u"C", u"D", u"E", u"F", u"", u"08", u"o"})
        EXPECT_TRUE(TexteResultatDemEnr(s(code)).isEmpty()) << s(code).toStdString();
}

TEST(TexteResultatDemValTest, CodesAreMatchedExactly)
{
    EXPECT_EQ(TexteResultatDemVal(QStringLiteral("F")),
              QStringLiteral("NUMERO DE DOSSIER DEJA EXISTANT"));
    EXPECT_TRUE(TexteResultatDemEnr(QStringLiteral("F")).isEmpty());
    EXPECT_EQ(TexteResultatDemVal(QStringLiteral("A")), QStringLiteral("PB CARTE INTERDITE"));
    EXPECT_TRUE(TexteResultatDemVal(QStringLiteral("a")).isEmpty());
}

QString twoDigits(int code)
{
    return QString::number(code).rightJustified(2, QLatin1Char('0'));
}

TEST(TexteDiagnosticTest, EightySevenEntries_EachEndingInItsCode)
{
    const std::vector<int> missing = {6, 7, 8, 16, 51, 71, 72, 73, 74, 75, 76, 77, 78};
    int entries = 0;
    for (int code = 0; code < 100; ++code) {
        const QString text = TexteDiagnostic(twoDigits(code));
        const bool isMissing = std::find(missing.begin(), missing.end(), code) != missing.end();
        if (isMissing) {
            EXPECT_TRUE(text.isEmpty()) << code;
            continue;
        }
        ++entries;
        EXPECT_TRUE(text.endsWith(u' ' + twoDigits(code))) << text.toStdString();
        EXPECT_GT(text.size(), 3) << code;
    }
    EXPECT_EQ(entries, 87);
}

TEST(TexteDiagnosticTest, TextsAreWrittenExactly)
{
    const std::vector<std::pair<const char16_t *, const char16_t *>> rows = {
        {u"00", u"DIAGNOSTIC OK 00"},
        {u"14", u"MONTANT MIN NONATTEINT 14"},
        {u"20", u"CARTE REFUSEE DANS LA LISTE DE CONTRÔLE 20"},
        {u"30", u"CARTE SURVEILLEE DANS LA LISTE DE CONTROLE 30"},
        {u"40", u"ABANDON APRES SAISIE D'UN CODE FAUX 40"},
        {u"44", u"TIME-OUT SAISIE DU CODE 44"},
        {u"52", u"PROBLEME DE LIAISON AU CENTRE D'AUTORISATION 52"},
        {u"55", u"CARTE INTERDITE DANS LA LISTE DE CONTRÔLE 55"},
        {u"58", u"DEFAULT SAM 58"},
        {u"70", u"OCL A PEAGE VERROUILLE 70"},
        {u"79", u"CUMUL LAT DEPASSE 79"},
        {u"81", u"ABANDON SUR CHOIX (TICKET, LANGUE) 81"},
        {u"94", u"EMV CARD REFUS (Refus (AAC) sur Generate AC) 94"},
        {u"99", u"EMV SCRIPT PROCESSING 2 ECHEC 99"},
    };
    for (const auto &[code, text] : rows)
        EXPECT_EQ(TexteDiagnostic(s(code)), s(text));
}

TEST(TexteDiagnosticTest, CodeIsReadAsANumber)
{
    EXPECT_EQ(TexteDiagnostic(QStringLiteral("9")),
              QStringLiteral("MONTANT MAX CARTE ETRANGERE DEPASSE 09"));
    EXPECT_EQ(TexteDiagnostic(QStringLiteral("5")), TexteDiagnostic(QStringLiteral("05")));
    EXPECT_FALSE(TexteDiagnostic(QStringLiteral("5")).isEmpty());
    EXPECT_EQ(TexteDiagnostic(QStringLiteral("099")), TexteDiagnostic(QStringLiteral("99")));
    EXPECT_TRUE(TexteDiagnostic(QStringLiteral("7")).isEmpty());
    EXPECT_TRUE(TexteDiagnostic(QStringLiteral("07")).isEmpty());
    EXPECT_TRUE(TexteDiagnostic(QStringLiteral("51")).isEmpty());
}

TEST(TexteDiagnosticTest, NonNumericOrTooLargeCodes_GiveAnEmptyText)
{
    for (const char16_t *code : {u"S ", u"", u"  ", u"4A", u"-1", u"100", u"0100", u"1e1",
                                 u"999999999999999999999", u"\u0664\u0664"})
        EXPECT_TRUE(TexteDiagnostic(s(code)).isEmpty()) << s(code).toStdString();
}

} // namespace
