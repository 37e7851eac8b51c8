#include "kiosktest.h"
#include "platform/rtfreader.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace Movendi::Platform;

namespace {

// As the staff tool lays out the demo catalogue's descriptions.
const QByteArray demoDescription =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
    "{\\colortbl;\\red16\\green35\\blue63;}\r\n"
    "\\f0\\fs36\\cf1{\\b Samsung Galaxy A15}\\par\r\n"
    "\\fs26 \\'c9cran Super AMOLED 6,5 pouces\\par\r\n"
    "\\fs30{\\b 199,90 \\'80}\\par\r\n}";

class RtfReaderTest : public Movendi::Test::KioskTest
{
protected:
    void load(const QByteArray &rtf)
    {
        writeFile(QStringLiteral("description.rtf"), rtf);
        QString error;
        ASSERT_TRUE(loadRtfFile(path(QStringLiteral("description.rtf")), &m_document, &error))
            << error.toStdString();
    }

    QStringList blocks() const
    {
        QStringList texts;
        for (QTextBlock b = m_document.begin(); b.isValid(); b = b.next())
            texts << b.text();
        return texts;
    }

    // The format of the character at position, as the viewer draws it.
    QTextCharFormat formatAt(int position)
    {
        QTextCursor cursor(&m_document);
        cursor.setPosition(position + 1);
        return cursor.charFormat();
    }

    QTextDocument m_document;
};

void expectDemoLayout(QTextDocument &document)
{
    QStringList texts;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
        texts << b.text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Samsung Galaxy A15"),
                                  QStringLiteral("Écran Super AMOLED 6,5 pouces"),
                                  QStringLiteral("199,90 €")}));
    ASSERT_EQ(texts.size(), 3);
    QTextCursor cursor(&document);
    const auto formatIn = [&](int block) {
        cursor.setPosition(document.findBlockByNumber(block).position() + 1);
        return cursor.charFormat();
    };
    EXPECT_EQ(formatIn(0).fontWeight(), QFont::Bold);
    EXPECT_NE(formatIn(1).fontWeight(), QFont::Bold);
    EXPECT_EQ(formatIn(2).fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(formatIn(0).fontPointSize(), 18.0);
    EXPECT_DOUBLE_EQ(formatIn(1).fontPointSize(), 13.0);
    EXPECT_EQ(formatIn(1).foreground().color(), QColor(16, 35, 63));
}

TEST_F(RtfReaderTest, Load_DemoDescription_GivesThreeFormattedParagraphsWithoutTables)
{
    load(demoDescription);
    expectDemoLayout(m_document);
}

TEST_F(RtfReaderTest, ToHtml_DemoDescription_ShowsTheSameParagraphsInAViewer)
{
    QTextDocument viewer;
    viewer.setHtml(rtfToHtml(demoDescription));
    expectDemoLayout(viewer);
}

TEST_F(RtfReaderTest, LoadAndToHtml_EmptyParagraphs_AreKept)
{
    const QByteArray rtf = "{\\rtf1 a\\par\\par\\fs40\\par b\\line c}";
    const QStringList expected{"a", "", "", QStringLiteral("b\u2028c")};
    load(rtf);
    EXPECT_EQ(blocks(), expected);
    EXPECT_DOUBLE_EQ(m_document.findBlockByNumber(2).charFormat().fontPointSize(), 20.0);
    m_document.setHtml(rtfToHtml(rtf));
    EXPECT_EQ(blocks(), expected);
    EXPECT_DOUBLE_EQ(m_document.findBlockByNumber(2).charFormat().fontPointSize(), 20.0);
}

TEST_F(RtfReaderTest, ToHtml_MarkupCharacters_AreEscaped)
{
    const QString html = rtfToHtml("{\\rtf1 <b>a & b</b>}");
    EXPECT_TRUE(html.contains(QLatin1String("&lt;b&gt;a &amp; b&lt;/b&gt;")));
    EXPECT_FALSE(html.contains(QLatin1String("<b>")));
}

TEST_F(RtfReaderTest, ToPlainText_UnicodeWords_SkipTheirFallbackCharacters)
{
    EXPECT_EQ(rtfToPlainText("{\\rtf1 \\u8364?5}"), QStringLiteral("€5"));
    EXPECT_EQ(rtfToPlainText("{\\rtf1 \\uc2\\u8364 EU5}"), QStringLiteral("€5"));
    EXPECT_EQ(rtfToPlainText("{\\rtf1 \\uc0\\u8364\\u8364 5}"), QStringLiteral("€€5"));
    EXPECT_EQ(rtfToPlainText("{\\rtf1 \\u8364\\'805}"), QStringLiteral("€5"));
    EXPECT_EQ(rtfToPlainText("{\\rtf1 \\u-200?}"), QString(QChar(0xFF38)));
    EXPECT_EQ(rtfToPlainText("{\\rtf1 \\u-10179?\\u-8704?}"), QStringLiteral("😀"));
    // The fallback count belongs to the group.
    EXPECT_EQ(rtfToPlainText("{\\rtf1 {\\uc0 a}\\u233 eb}"), QStringLiteral("aéb"));
}

TEST_F(RtfReaderTest, ToPlainText_EscapesSymbolsAndBreaks_GiveTheirCharacters)
{
    EXPECT_EQ(rtfToPlainText("{\\rtf1 \\{a\\}\\\\}"), QStringLiteral("{a}\\"));
    EXPECT_EQ(rtfToPlainText("{\\rtf1 a\\tab b\\~c\\-d\\_e}"),
              QStringLiteral("a\tb\u00A0c\u00ADd\u2011e"));
    EXPECT_EQ(rtfToPlainText("{\\rtf1 one\\line two\\par three}"),
              QStringLiteral("one\ntwo\nthree"));
    // A control word eats one space; the next is text; line ends in the source are nothing.
    EXPECT_EQ(rtfToPlainText("{\\rtf1\\fs20  a\r\nb\\b0x\\'e9\\'E9}"), QStringLiteral(" abxéé"));
    EXPECT_EQ(rtfToPlainText("{\\rtf1 \\unknownword12 a\\emdash b}"), QStringLiteral("a\u2014b"));
}

TEST_F(RtfReaderTest, ToPlainText_DestinationsWithoutBodyText_AreSkipped)
{
    const QByteArray rtf = "{\\rtf1{\\*\\generator Riched20;}{\\info{\\title T}{\\author A}}"
                           "{\\stylesheet{\\s0 Normal;}}{\\*\\unknown{x}y}"
                           "{\\pict\\pngblip\\bin4 }}{\\ 89ab}{\\header H}"
                           "Body{\\b \\* text}}";
    EXPECT_EQ(rtfToPlainText(rtf), QStringLiteral("Body text"));
}

TEST_F(RtfReaderTest, Load_NestedGroups_RestoreTheEnclosingFormat)
{
    load("{\\rtf1 a{\\b b{\\i\\ul c\\ulnone d}e\\plain f}g{\\b\\fs40 h\\b0 i}j}");
    ASSERT_EQ(blocks(), QStringList(QStringLiteral("abcdefghij")));
    const auto flags = [&](int position) {
        const QTextCharFormat f = formatAt(position);
        return QString(f.fontWeight() == QFont::Bold ? "B" : "") + (f.fontItalic() ? "I" : "") +
               (f.fontUnderline() ? "U" : "");
    };
    QStringList seen;
    for (int i = 0; i < 10; ++i)
        seen << flags(i);
    EXPECT_EQ(seen, (QStringList{"", "B", "BIU", "BI", "B", "", "", "B", "", ""}));
    EXPECT_DOUBLE_EQ(formatAt(8).fontPointSize(), 20.0);
    EXPECT_FALSE(formatAt(9).hasProperty(QTextFormat::FontPointSize));
}

TEST_F(RtfReaderTest, ToPlainText_MalformedInput_EndsWithTheReadableText)
{
    EXPECT_EQ(rtfToPlainText("{\\rtf1 a\\'4"), QStringLiteral("a"));
    EXPECT_EQ(rtfToPlainText("{\\rtf1 a\\'zzb\\"), QStringLiteral("azzb"));
    EXPECT_EQ(rtfToPlainText("}}a{{{b"), QStringLiteral("ab"));
    EXPECT_EQ(rtfToPlainText("{\\rtf1\\fs99999999999999999999 a\\u99999999999999?b\\uc-5 c}"),
              QStringLiteral("a\uFFFDbc"));
    EXPECT_EQ(rtfToPlainText("{\\rtf1 a{\\pict\\bin99999999999 }}"), QStringLiteral("a"));
    EXPECT_EQ(rtfToPlainText(QByteArray(200000, '{') + "deep" + QByteArray(200000, '}') + "x"),
              QStringLiteral("deepx"));
    EXPECT_EQ(rtfToPlainText(QByteArray("a\0b\x01", 4)), QStringLiteral("ab"));
}

TEST_F(RtfReaderTest, Load_MissingOrFolderPath_ReturnsFalseAndKeepsTheDocument)
{
    m_document.setPlainText(QStringLiteral("kept"));
    QString error;
    EXPECT_FALSE(loadRtfFile(path(QStringLiteral("absent.rtf")), &m_document, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(loadRtfFile(folder(), &m_document, nullptr));
    EXPECT_EQ(m_document.toPlainText(), QStringLiteral("kept"));
}

TEST_F(RtfReaderTest, Load_OtherLetterCase_FindsTheFile)
{
    writeFile(QStringLiteral("ARTICLE.RTF"), "{\\rtf1 x}");
    ASSERT_TRUE(loadRtfFile(path(QStringLiteral("article.rtf")), &m_document, nullptr));
    EXPECT_EQ(m_document.toPlainText(), QStringLiteral("x"));
}

} // namespace
