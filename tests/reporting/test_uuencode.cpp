// Attachment encoding and the message data layout.
#include "mail/email.h"
#include "mail/uuencode.h"

#include <QList>
#include <gtest/gtest.h>

using namespace Movendi::Mail;

namespace {

QList<QByteArray> lines(const QByteArray &block)
{
    QList<QByteArray> out = block.split('\n');
    EXPECT_TRUE(block.endsWith("\r\n"));
    out.removeLast();
    for (QByteArray &l : out) {
        EXPECT_TRUE(l.endsWith('\r'));
        l.chop(1);
    }
    return out;
}

QByteArray bytesUpTo(int n)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b += char(i * 7 + 3);
    return b;
}

} // namespace

TEST(Uuencode, HundredBytesGiveTwoFullLinesAndOneOfTen)
{
    const QList<QByteArray> l = lines(blocUuencode(QStringLiteral("panne.txt"), bytesUpTo(100)));
    ASSERT_EQ(l.size(), 1 + 3 + 2);
    EXPECT_EQ(l.at(0), QByteArray("begin 664 panne.txt"));
    EXPECT_EQ(l.at(1).left(1), QByteArray("M"));
    EXPECT_EQ(l.at(1).size(), 1 + 60);
    EXPECT_EQ(l.at(2).left(1), QByteArray("M"));
    EXPECT_EQ(l.at(3).left(1), QByteArray("*"));
    EXPECT_EQ(l.at(3).size(), 1 + 16); // 10 bytes: four groups, the last completed
    EXPECT_EQ(l.at(4), QByteArray("`"));
    EXPECT_EQ(l.at(5), QByteArray("end"));
}

TEST(Uuencode, MultiplesOf45EndWithAnEmptyDataLine)
{
    for (int size : {0, 45, 90}) {
        const QList<QByteArray> l = lines(blocUuencode(QStringLiteral("f"), bytesUpTo(size)));
        ASSERT_EQ(l.size(), 1 + size / 45 + 1 + 2) << size;
        for (int i = 1; i <= size / 45; ++i)
            EXPECT_EQ(l.at(i).left(1), QByteArray("M"));
        EXPECT_EQ(l.at(size / 45 + 1), QByteArray("`")) << "the empty data line";
        EXPECT_EQ(l.at(size / 45 + 2), QByteArray("`"));
        EXPECT_EQ(l.last(), QByteArray("end"));
    }
}

TEST(Uuencode, GroupsFollowTheEncodingRule)
{
    // "Cat": 0x43 0x61 0x74 -> 32+16, 32+3*16+6, 32+1*4+1, 32+52
    EXPECT_EQ(ligneUuencode("Cat"), QByteArray("#0V%T"));
    // A short group is completed with spaces (0x20), not zeros.
    EXPECT_EQ(ligneUuencode("A"), QByteArray("!02`@"));
    // Zero bits become spaces, written as grave accents, the length character too.
    EXPECT_EQ(ligneUuencode(QByteArray(3, '\0')), QByteArray("#````"));
    EXPECT_EQ(ligneUuencode({}), QByteArray("`"));
    EXPECT_FALSE(ligneUuencode(bytesUpTo(45)).contains(' '));
}

TEST(Uuencode, FileNameIsThePathAfterItsLastSeparator)
{
    EXPECT_EQ(nomPieceJointe(QStringLiteral("/srv/kiosque/epi/panne.txt")),
              QStringLiteral("panne.txt"));
    EXPECT_EQ(nomPieceJointe(QStringLiteral("c:\\epi\\panne.txt")), QStringLiteral("panne.txt"));
    EXPECT_EQ(nomPieceJointe(QStringLiteral("panne.txt")), QStringLiteral("panne.txt"));
}

TEST(MessageData, HeadersAttachmentsBodyAndFinalDot)
{
    const QByteArray data = donneesMessage(
        QStringLiteral("kiosque@a.fr"), QStringLiteral("jean.dupont@b@c.fr"),
        QStringLiteral("Panne"), QStringLiteral("Porte bloquée"), "begin 664 x\r\nend\r\n");
    // Accented text is declared as what it is.
    const QByteArray mime = "MIME-Version: 1.0\r\n"
                            "Content-Type: text/plain; charset=utf-8\r\n"
                            "Content-Transfer-Encoding: 8bit\r\n";
    EXPECT_EQ(data, QByteArray("From: \"kiosque\" <kiosque@a.fr>\r\n"
                               "To: \"jean.dupont\" <jean.dupont@b@c.fr>\r\n"
                               "Subject: Panne\r\n") +
                        mime +
                        QByteArray("\r\n"
                                   "begin 664 x\r\nend\r\n\r\n") +
                        QStringLiteral("Porte bloquée\r\n.\r\n").toUtf8());
    const QByteArray plain = donneesMessage(QStringLiteral("a@x"), QStringLiteral("b@y"),
                                            QStringLiteral("s"), QStringLiteral("corps"), {});
    EXPECT_TRUE(plain.endsWith("Subject: s\r\n" + mime + "\r\ncorps\r\n.\r\n"));
    // A subject with accents travels as an encoded word.
    const QByteArray accentue =
        donneesMessage(QStringLiteral("a@x"), QStringLiteral("b@y"),
                       QStringLiteral("Rapport d'activité"), QStringLiteral("corps"), {});
    EXPECT_TRUE(accentue.contains("\r\nSubject: =?utf-8?B?" +
                                  QStringLiteral("Rapport d'activité").toUtf8().toBase64() +
                                  "?=\r\n"));
}

TEST(MessageData, LinesStartingWithADotAreDoubled)
{
    const QByteArray data = donneesMessage(QStringLiteral("a@x"), QStringLiteral("b@y"),
                                           QStringLiteral("s"), QStringLiteral(".\r\n.fin"), {});
    EXPECT_TRUE(data.endsWith("\r\n\r\n..\r\n..fin\r\n.\r\n")) << data.toStdString();
}

TEST(MessageData, NameIsThePartBeforeTheFirstAtSign)
{
    EXPECT_EQ(nomAdresse(QStringLiteral("x@y@z")), QStringLiteral("x"));
    EXPECT_EQ(nomAdresse(QStringLiteral("@y")), QString());
    EXPECT_FALSE(nomAdresse(QStringLiteral("sans-arobase")).has_value());
}
