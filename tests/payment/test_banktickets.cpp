#include "answertext.h"
#include "payment/banktickets.h"
#include "payment/terminalframe.h"

#include <QList>
#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>

using namespace Movendi::Payment;

namespace {

using Movendi::Test::putAt;

QByteArray pad(const QByteArray &text, int width)
{
    return text.leftJustified(width, ' ');
}

// A debit answer for 12.50 euros, every field at its place.
QByteArray debitAnswer()
{
    QByteArray a;
    putAt(a, 1, QByteArray(1, Ctl::STX) + "Al273" + "0");
    putAt(a, 17, pad("MOVENDI GARE DE LYON", 25));
    putAt(a, 42, pad("75012 PARIS", 25));
    putAt(a, 67, "140324");
    putAt(a, 73, "093015");
    putAt(a, 79, pad("CB EMV", 20));
    putAt(a, 99, pad("A0000000421010", 20));
    putAt(a, 119, pad("VISA", 20));
    putAt(a, 141, "TPE0001");
    putAt(a, 148, "CONTRAT 556677");
    putAt(a, 176, "1234567890123456");
    putAt(a, 199, "2612");
    putAt(a, 203, "001");
    putAt(a, 206, "SANS CONTACT NON");
    putAt(a, 222, "978");
    putAt(a, 225, "010");
    putAt(a, 228, "000321");
    putAt(a, 234, "000042");
    putAt(a, 240, "C");
    putAt(a, 241, "A1B2C3");
    putAt(a, 247, "1");
    putAt(a, 272, "00001250");
    putAt(a, 280, QByteArray(1, Ctl::DLE) + Ctl::ETX);
    putAt(a, 282, ComputeLrc(a));
    return a;
}

QStringList linesOf(const QString &ticket)
{
    return ticket.split(QStringLiteral("\r\n"));
}

TEST(BankTicketsTest, MerchantCopy_EveryLineAtItsPlace)
{
    const BankTickets t = layOutBankTickets(debitAnswer());
    const QStringList expected = {
        QStringLiteral("CARTE BANCAIRE"),
        QStringLiteral("MOVENDI GARE DE LYON     "),
        QStringLiteral("75012 PARIS              "),
        QStringLiteral("14/03/24  09:30:15"),
        QStringLiteral("CB EMV              "),
        QStringLiteral("A0000000421010      "),
        QStringLiteral("VISA                "),
        QStringLiteral("TPE0001"),
        QStringLiteral("CONTRAT 556677"),
        QStringLiteral("123456******3456"),
        QStringLiteral("12/26   001"),
        QStringLiteral("SANS CONTACT NON"),
        QStringLiteral("978"),
        QStringLiteral("010 000321 000042 C 1"),
        QStringLiteral("AUTO: A1B2C3"),
        QString(),
        QStringLiteral("MONTANT = 12,50 EUR"),
        QStringLiteral("DEBIT"),
        QStringLiteral("TICKET COMMERCANT"),
        QStringLiteral("A CONSERVER"),
    };
    EXPECT_EQ(linesOf(t.merchant), expected);
    EXPECT_EQ(t.merchant, expected.join(QStringLiteral("\r\n")));
    EXPECT_FALSE(t.merchant.endsWith(QLatin1Char('\n')));
}

TEST(BankTicketsTest, CustomerCopy_WithoutExpiryOrCurrencyLine)
{
    const BankTickets t = layOutBankTickets(debitAnswer());
    const QStringList expected = {
        QStringLiteral("CARTE BANCAIRE"),
        QStringLiteral("MOVENDI GARE DE LYON     "),
        QStringLiteral("75012 PARIS              "),
        QStringLiteral("le 14/03/24 a 09:30:15"),
        QStringLiteral("CB EMV              "),
        QStringLiteral("A0000000421010      "),
        QStringLiteral("VISA                "),
        QStringLiteral("TPE0001"),
        QStringLiteral("CONTRAT 556677"),
        QStringLiteral("123456******3456"),
        QStringLiteral("SANS CONTACT NON"),
        QStringLiteral("010 000321 000042 C 1"),
        QStringLiteral("AUTO: A1B2C3"),
        QString(),
        QStringLiteral("MONTANT = 12,50 EUR"),
        QStringLiteral("DEBIT"),
        QStringLiteral("TICKET CLIENT A CONSERVER"),
    };
    EXPECT_EQ(linesOf(t.customer), expected);
    EXPECT_EQ(t.customer, expected.join(QStringLiteral("\r\n")));
    EXPECT_FALSE(t.customer.contains(QStringLiteral("12/26")));
    EXPECT_FALSE(linesOf(t.customer).contains(QStringLiteral("978")));
}

TEST(BankTicketsTest, NeitherCopyShowsTheCardNumber)
{
    const BankTickets t = layOutBankTickets(debitAnswer());
    for (const QString &copy : {t.merchant, t.customer}) {
        EXPECT_FALSE(copy.contains(QStringLiteral("1234567890123456")));
        EXPECT_FALSE(copy.contains(QStringLiteral("78901234")));
        EXPECT_FALSE(copy.contains(QStringLiteral("789012")));
        EXPECT_EQ(copy.count(QStringLiteral("123456******3456")), 1);
    }
}

TEST(BankTicketsTest, RemittanceNumberAndTransactionTime)
{
    const BankTickets t = layOutBankTickets(debitAnswer());
    ASSERT_TRUE(t.remittanceNumber.has_value());
    EXPECT_EQ(*t.remittanceNumber, 42);
    ASSERT_TRUE(t.transactionTime.has_value());
    EXPECT_EQ(*t.transactionTime, QDateTime(QDate(2024, 3, 14), QTime(9, 30, 15)));
    EXPECT_EQ(t.transactionTime->timeSpec(), Qt::LocalTime);
}

TEST(BankTicketsTest, RemittanceNumberNotNumeric_IsNotTaken)
{
    QByteArray a = debitAnswer();
    putAt(a, 234, "00A042");
    EXPECT_FALSE(layOutBankTickets(a).remittanceNumber.has_value());
    putAt(a, 234, "      ");
    EXPECT_FALSE(layOutBankTickets(a).remittanceNumber.has_value());
    putAt(a, 234, "987654");
    EXPECT_EQ(layOutBankTickets(a).remittanceNumber, 987654);
    // Cut inside the field: the digits that arrived are not the number.
    EXPECT_FALSE(layOutBankTickets(a.left(237)).remittanceNumber.has_value());
}

TEST(BankTicketsTest, InvalidTransactionDateOrTime_GivesNoTime)
{
    QByteArray a = debitAnswer();
    putAt(a, 67, "300224"); // 30 February
    EXPECT_FALSE(layOutBankTickets(a).transactionTime.has_value());
    a = debitAnswer();
    putAt(a, 73, "246000");
    EXPECT_FALSE(layOutBankTickets(a).transactionTime.has_value());
    a = debitAnswer();
    putAt(a, 71, "2X");
    EXPECT_FALSE(layOutBankTickets(a).transactionTime.has_value());
    EXPECT_FALSE(layOutBankTickets(debitAnswer().left(77)).transactionTime.has_value());
    EXPECT_EQ(layOutBankTickets(debitAnswer().left(78)).transactionTime,
              QDateTime(QDate(2024, 3, 14), QTime(9, 30, 15)));
}

TEST(BankTicketsTest, AmountNotNumericOrCut_LeavesTheAmountEmpty)
{
    QByteArray a = debitAnswer();
    putAt(a, 272, "0000125X");
    BankTickets t = layOutBankTickets(a);
    EXPECT_TRUE(linesOf(t.merchant).contains(QStringLiteral("MONTANT =  EUR")));
    EXPECT_TRUE(linesOf(t.customer).contains(QStringLiteral("MONTANT =  EUR")));
    // The answer cut after "000012": printing 0,12 would be a wrong sum.
    t = layOutBankTickets(debitAnswer().left(277));
    EXPECT_TRUE(linesOf(t.merchant).contains(QStringLiteral("MONTANT =  EUR")));
    EXPECT_FALSE(t.merchant.contains(QStringLiteral("0,12")));
}

TEST(BankTicketsTest, EmptyAnswer_GivesBothCopiesWithEmptyFields)
{
    const BankTickets t = layOutBankTickets(QByteArray());
    const QStringList merchant = linesOf(t.merchant);
    ASSERT_EQ(merchant.size(), 20);
    EXPECT_EQ(merchant.at(0), QStringLiteral("CARTE BANCAIRE"));
    EXPECT_EQ(merchant.at(3), QStringLiteral("//  ::"));
    EXPECT_TRUE(merchant.at(9).isEmpty());
    EXPECT_EQ(merchant.at(10), QStringLiteral("/   "));
    EXPECT_EQ(merchant.at(13), QStringLiteral("    "));
    EXPECT_EQ(merchant.at(14), QStringLiteral("AUTO: "));
    EXPECT_EQ(merchant.at(19), QStringLiteral("A CONSERVER"));
    const QStringList customer = linesOf(t.customer);
    ASSERT_EQ(customer.size(), 17);
    EXPECT_EQ(customer.at(3), QStringLiteral("le // a ::"));
    EXPECT_EQ(customer.at(16), QStringLiteral("TICKET CLIENT A CONSERVER"));
    EXPECT_FALSE(t.remittanceNumber.has_value());
    EXPECT_FALSE(t.transactionTime.has_value());
}

TEST(BankTicketsTest, EveryCutOfTheAnswer_IsLaidOutSafely)
{
    const QByteArray full = debitAnswer();
    for (int n = 0; n <= full.size(); ++n) {
        const BankTickets t = layOutBankTickets(full.left(n));
        EXPECT_EQ(linesOf(t.merchant).size(), 20) << n;
        EXPECT_EQ(linesOf(t.customer).size(), 17) << n;
        EXPECT_FALSE(t.merchant.contains(QStringLiteral("7890"))) << n;
        EXPECT_FALSE(t.customer.contains(QStringLiteral("7890"))) << n;
    }
}

TEST(BankTicketsTest, RandomBytes_AreLaidOutSafely)
{
    QRandomGenerator random(20240314);
    for (int i = 0; i < 2000; ++i) {
        QByteArray a(int(random.bounded(600)), Qt::Uninitialized);
        for (char &c : a)
            c = char(random.bounded(256));
        const BankTickets t = layOutBankTickets(a);
        EXPECT_TRUE(t.merchant.startsWith(QStringLiteral("CARTE BANCAIRE\r\n")));
        EXPECT_TRUE(t.merchant.endsWith(QStringLiteral("\r\nTICKET COMMERCANT\r\nA CONSERVER")));
        EXPECT_TRUE(t.customer.endsWith(QStringLiteral("\r\nDEBIT\r\nTICKET CLIENT A CONSERVER")));
    }
}

TEST(FormatCentsTest, AmountsWithTheDecimalComma)
{
    EXPECT_EQ(formatCents("000000012345"), QStringLiteral("123,45"));
    EXPECT_EQ(formatCents("00001250"), QStringLiteral("12,50"));
    EXPECT_EQ(formatCents("00000000"), QStringLiteral("0,00"));
    EXPECT_EQ(formatCents("5"), QStringLiteral("0,05"));
    EXPECT_EQ(formatCents("100"), QStringLiteral("1,00"));
    EXPECT_EQ(formatCents("123456789012"), QStringLiteral("1234567890,12"));
    EXPECT_EQ(formatCents("98765432109876543210987"), QStringLiteral("987654321098765432109,87"));
}

TEST(FormatCentsTest, NotAllDigits_GivesNothing)
{
    for (const char *text : {"", " 1250", "12,50", "12.50", "-1250", "+1250", "0000125X", "1e3"})
        EXPECT_FALSE(formatCents(text).has_value()) << text;
}

} // namespace
