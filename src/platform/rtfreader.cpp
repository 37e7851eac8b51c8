#include "platform/rtfreader.h"

#include "platform/filelookup.h"
#include "platform/windows1252.h"

#include <QColor>
#include <QFile>
#include <QList>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

namespace Movendi::Platform {

namespace {

struct CharFormat
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 0; // 0: the size of the viewer's font
    int colour = 0;     // index in the colour table; 0 and unknown entries: the viewer's colour

    bool operator==(const CharFormat &) const = default;
};

struct Run
{
    QString text;
    CharFormat format;
};

struct Paragraph
{
    QList<Run> runs;
    CharFormat endFormat; // gives an empty paragraph its height
};

struct RtfContent
{
    QList<Paragraph> paragraphs;
    QList<QColor> colours; // an invalid colour stands for the viewer's colour

    QColor colour(int index) const { return index < colours.size() ? colours[index] : QColor(); }
};

enum class Destination { Text, Skipped, ColourTable };

struct GroupState
{
    CharFormat format;
    int fallbackLength = 1; // \ucN: characters that follow \uN for readers without Unicode
    Destination destination = Destination::Text;
};

// Deeper groups share their parent's state, so that a run of '{' cannot exhaust memory.
constexpr qsizetype MaxDepth = 1000;
constexpr int MaxHalfPoints = 3276;

// Destinations whose text is not part of the description.
constexpr std::string_view skippedDestinations[] = {
    "fonttbl", "stylesheet", "info",     "pict",    "nonshppict", "object",
    "header",  "headerl",    "headerr",  "headerf", "footer",     "footerl",
    "footerr", "footerf",    "footnote", "filetbl", "listtable",  "listoverridetable",
    "revtbl",  "rsidtbl",
};

struct NamedCharacter
{
    std::string_view word;
    char16_t character;
};

constexpr NamedCharacter namedCharacters[] = {
    {"tab", u'\t'},        {"line", 0x2028},    {"emdash", 0x2014},  {"endash", 0x2013},
    {"bullet", 0x2022},    {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C},
    {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005},
};

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Unpaired surrogates from stray \uN words become replacement characters.
QString validUtf16(const QString &text)
{
    if (QStringView(text).isValidUtf16())
        return text;
    QString valid;
    valid.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            valid.append(c);
            valid.append(text[++i]);
        } else {
            valid.append(c.isSurrogate() ? QChar(QChar::ReplacementCharacter) : c);
        }
    }
    return valid;
}

// One pass over the bytes; every step consumes at least one byte.
class Parser
{
public:
    explicit Parser(const QByteArray &rtf) : m_in(rtf) {}

    RtfContent parse();

private:
    void readControl(bool atGroupStart);
    void controlWord(std::string_view word, std::optional<int> parameter, bool atGroupStart);
    void textWord(std::string_view word, std::optional<int> parameter);
    void controlSymbol(char symbol, bool atGroupStart);
    void hexByte();
    void character(char c);
    void colourTableWord(std::string_view word, int value);
    void endColourEntry();
    void openGroup();
    void closeGroup();
    void flushBytes();
    void appendText(const QString &text);
    void endParagraph();
    bool consumeFallback();

    const QByteArray &m_in;
    qsizetype m_pos = 0;
    QList<GroupState> m_stack;
    GroupState m_state;
    qsizetype m_sharedDepth = 0;
    int m_fallbackPending = 0;
    QByteArray m_bytes; // Windows-1252 text not yet decoded, all in m_state.format
    Paragraph m_paragraph;
    RtfContent m_content;
    std::array<int, 3> m_rgb{};
    bool m_rgbSet = false;
};

RtfContent Parser::parse()
{
    bool atGroupStart = false;
    while (m_pos < m_in.size()) {
        const char c = m_in[m_pos++];
        if (c == '\r' || c == '\n')
            continue;
        const bool first = std::exchange(atGroupStart, false);
        switch (c) {
        case '{':
            openGroup();
            atGroupStart = true;
            break;
        case '}':
            closeGroup();
            break;
        case '\\':
            readControl(first);
            break;
        default:
            character(c);
        }
    }
    flushBytes();
    if (!m_paragraph.runs.isEmpty())
        endParagraph();
    for (Paragraph &paragraph : m_content.paragraphs) {
        for (Run &run : paragraph.runs)
            run.text = validUtf16(run.text);
    }
    return std::move(m_content);
}

void Parser::readControl(bool atGroupStart)
{
    if (m_pos >= m_in.size())
        return;
    if (!isLetter(m_in[m_pos])) {
        controlSymbol(m_in[m_pos++], atGroupStart);
        return;
    }
    const qsizetype start = m_pos;
    while (m_pos < m_in.size() && isLetter(m_in[m_pos]))
        ++m_pos;
    const std::string_view word(m_in.constData() + start, size_t(m_pos - start));

    std::optional<int> parameter;
    const bool negative = m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && isDigit(m_in[m_pos + 1]);
    if (negative)
        ++m_pos;
    if (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
        // Saturates: values beyond the int range are nonsense to every word.
        constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
        qint64 value = 0;
        while (m_pos < m_in.size() && isDigit(m_in[m_pos]))
            value = std::min(value * 10 + (m_in[m_pos++] - '0'), limit);
        value = negative ? -value : std::min(value, limit - 1);
        parameter = int(value);
    }
    if (m_pos < m_in.size() && m_in[m_pos] == ' ')
        ++m_pos;
    controlWord(word, parameter, atGroupStart);
}

bool Parser::consumeFallback()
{
    if (m_fallbackPending <= 0)
        return false;
    --m_fallbackPending;
    return true;
}

void Parser::controlWord(std::string_view word, std::optional<int> parameter, bool atGroupStart)
{
    if (word == "bin") {
        // Raw bytes, braces and backslashes included, that must not be read as RTF.
        const qsizetype length = std::max(0, parameter.value_or(0));
        m_pos += std::min(length, m_in.size() - m_pos);
        return;
    }
    if (consumeFallback())
        return;
    switch (m_state.destination) {
    case Destination::Skipped:
        return;
    case Destination::ColourTable:
        colourTableWord(word, parameter.value_or(0));
        return;
    case Destination::Text:
        break;
    }
    if (atGroupStart &&
        std::ranges::find(skippedDestinations, word) != std::end(skippedDestinations)) {
        m_state.destination = Destination::Skipped;
        return;
    }
    if (atGroupStart && word == "colortbl") {
        m_content.colours.clear();
        m_rgb = {};
        m_rgbSet = false;
        m_state.destination = Destination::ColourTable;
        return;
    }
    textWord(word, parameter);
}

void Parser::textWord(std::string_view word, std::optional<int> parameter)
{
    const bool on = parameter.value_or(1) != 0;
    CharFormat &format = m_state.format;
    if (word == "par") {
        endParagraph();
    } else if (word == "b") {
        flushBytes();
        format.bold = on;
    } else if (word == "i") {
        flushBytes();
        format.italic = on;
    } else if (word == "ul" || word == "uld" || word == "uldb" || word == "ulw") {
        flushBytes();
        format.underline = on;
    } else if (word == "ulnone") {
        flushBytes();
        format.underline = false;
    } else if (word == "plain") {
        flushBytes();
        format = CharFormat();
    } else if (word == "fs") {
        flushBytes();
        const int size = parameter.value_or(0);
        format.halfPoints = size > 0 ? std::min(size, MaxHalfPoints) : 0;
    } else if (word == "cf") {
        flushBytes();
        format.colour = std::max(0, parameter.value_or(0));
    } else if (word == "uc") {
        m_state.fallbackLength = std::max(0, parameter.value_or(1));
    } else if (word == "u" && parameter) {
        const int code = *parameter < 0 ? *parameter + 65536 : *parameter;
        appendText(QString(code >= 0 && code <= 0xFFFF ? QChar(char16_t(code))
                                                       : QChar(QChar::ReplacementCharacter)));
        m_fallbackPending = m_state.fallbackLength;
    } else {
        const auto named = std::ranges::find(namedCharacters, word, &NamedCharacter::word);
        if (named != std::end(namedCharacters))
            appendText(QString(QChar(named->character)));
    }
}

void Parser::controlSymbol(char symbol, bool atGroupStart)
{
    if (symbol == '\'') {
        hexByte();
        return;
    }
    if (symbol == '\\' || symbol == '{' || symbol == '}') {
        character(symbol);
        return;
    }
    if (consumeFallback() || m_state.destination != Destination::Text)
        return;
    switch (symbol) {
    case '*':
        if (atGroupStart)
            m_state.destination = Destination::Skipped;
        break;
    case '~':
        appendText(QString(QChar(QChar::Nbsp)));
        break;
    case '-':
        appendText(QString(QChar(QChar::SoftHyphen)));
        break;
    case '_':
        appendText(QString(QChar(0x2011)));
        break;
    case '\r':
    case '\n':
        endParagraph();
        break;
    default:
        break;
    }
}

void Parser::hexByte()
{
    int value = 0;
    int digits = 0;
    while (digits < 2 && m_pos < m_in.size() && hexValue(m_in[m_pos]) >= 0) {
        value = value * 16 + hexValue(m_in[m_pos++]);
        ++digits;
    }
    if (consumeFallback() || digits < 2)
        return;
    if (m_state.destination == Destination::Text)
        m_bytes.append(char(value));
}

void Parser::character(char c)
{
    if (consumeFallback())
        return;
    switch (m_state.destination) {
    case Destination::Skipped:
        break;
    case Destination::ColourTable:
        if (c == ';')
            endColourEntry();
        break;
    case Destination::Text:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
            m_bytes.append(c);
        break;
    }
}

void Parser::colourTableWord(std::string_view word, int value)
{
    const qsizetype channel = word == "red" ? 0 : word == "green" ? 1 : word == "blue" ? 2 : -1;
    if (channel < 0)
        return;
    m_rgb[channel] = std::clamp(value, 0, 255);
    m_rgbSet = true;
}

void Parser::endColourEntry()
{
    m_content.colours.append(m_rgbSet ? QColor(m_rgb[0], m_rgb[1], m_rgb[2]) : QColor());
    m_rgb = {};
    m_rgbSet = false;
}

void Parser::openGroup()
{
    flushBytes();
    m_fallbackPending = 0;
    if (m_stack.size() < MaxDepth)
        m_stack.append(m_state);
    else
        ++m_sharedDepth;
}

void Parser::closeGroup()
{
    flushBytes();
    m_fallbackPending = 0;
    if (m_sharedDepth > 0) {
        --m_sharedDepth;
        return;
    }
    if (m_stack.isEmpty())
        return; // a stray '}'
    if (m_state.destination == Destination::ColourTable && m_rgbSet)
        endColourEntry(); // the last entry lacks its ';'
    m_state = m_stack.takeLast();
}

void Parser::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const QString text = fromWindows1252(m_bytes);
    m_bytes.clear();
    appendText(text);
}

void Parser::appendText(const QString &text)
{
    flushBytes();
    if (!m_paragraph.runs.isEmpty() && m_paragraph.runs.constLast().format == m_state.format)
        m_paragraph.runs.last().text.append(text);
    else
        m_paragraph.runs.append({text, m_state.format});
}

void Parser::endParagraph()
{
    flushBytes();
    m_paragraph.endFormat = m_state.format;
    m_content.paragraphs.append(std::exchange(m_paragraph, Paragraph()));
}

QString css(const CharFormat &format, const RtfContent &content)
{
    QStringList properties;
    if (format.bold)
        properties << QStringLiteral("font-weight:bold");
    if (format.italic)
        properties << QStringLiteral("font-style:italic");
    if (format.underline)
        properties << QStringLiteral("text-decoration:underline");
    if (format.halfPoints > 0)
        properties << QStringLiteral("font-size:%1pt").arg(format.halfPoints / 2.0);
    const QColor colour = content.colour(format.colour);
    if (colour.isValid())
        properties << QStringLiteral("color:%1").arg(colour.name());
    return properties.join(QLatin1String("; "));
}

QTextCharFormat textCharFormat(const CharFormat &format, const RtfContent &content)
{
    QTextCharFormat result;
    if (format.bold)
        result.setFontWeight(QFont::Bold);
    if (format.italic)
        result.setFontItalic(true);
    if (format.underline)
        result.setFontUnderline(true);
    if (format.halfPoints > 0)
        result.setFontPointSize(format.halfPoints / 2.0);
    const QColor colour = content.colour(format.colour);
    if (colour.isValid())
        result.setForeground(colour);
    return result;
}

} // namespace

QString rtfToHtml(const QByteArray &rtf)
{
    const RtfContent content = Parser(rtf).parse();
    QString html = QStringLiteral("<html><body>");
    for (const Paragraph &paragraph : content.paragraphs) {
        // pre-wrap keeps the spaces and tabs that RTF holds significant.
        html += QStringLiteral("<p style=\"margin:0; white-space:pre-wrap");
        if (paragraph.runs.isEmpty()) {
            // Qt drops a <p> without content unless it is marked as an empty paragraph.
            html += QStringLiteral("; -qt-paragraph-type:empty");
            const QString endStyle = css(paragraph.endFormat, content);
            if (!endStyle.isEmpty())
                html += QStringLiteral("; ") + endStyle;
            html += QStringLiteral("\"><br /></p>");
            continue;
        }
        html += QStringLiteral("\">");
        for (const Run &run : paragraph.runs) {
            const QString style = css(run.format, content);
            const QString text =
                run.text.toHtmlEscaped().replace(QChar::LineSeparator, QLatin1String("<br />"));
            html += style.isEmpty()
                        ? text
                        : QStringLiteral("<span style=\"%1\">%2</span>").arg(style, text);
        }
        html += QStringLiteral("</p>");
    }
    return html + QStringLiteral("</body></html>");
}

QString rtfToPlainText(const QByteArray &rtf)
{
    const RtfContent content = Parser(rtf).parse();
    QStringList paragraphs;
    for (const Paragraph &paragraph : content.paragraphs) {
        QString text;
        for (const Run &run : paragraph.runs)
            text += run.text;
        paragraphs << text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    }
    return paragraphs.join(QLatin1Char('\n'));
}

bool loadRtfFile(const QString &path, QTextDocument *document, QString *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    QFile file(resolvePathNoCase(path));
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    // A file known too large is not read; reading one byte past the limit also bounds devices
    // whose size is unknown.
    if (file.size() > RtfFileMaxSize)
        return fail(QStringLiteral("%1: larger than %2 bytes").arg(path).arg(RtfFileMaxSize));
    const QByteArray rtf = file.read(RtfFileMaxSize + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (rtf.size() > RtfFileMaxSize)
        return fail(QStringLiteral("%1: larger than %2 bytes").arg(path).arg(RtfFileMaxSize));

    const RtfContent content = Parser(rtf).parse();
    document->clear();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (qsizetype i = 0; i < content.paragraphs.size(); ++i) {
        const Paragraph &paragraph = content.paragraphs[i];
        const QTextCharFormat endFormat = textCharFormat(paragraph.endFormat, content);
        if (i > 0)
            cursor.insertBlock(QTextBlockFormat(), endFormat);
        else
            cursor.setBlockCharFormat(endFormat);
        for (const Run &run : paragraph.runs)
            cursor.insertText(run.text, textCharFormat(run.format, content));
    }
    cursor.endEditBlock();
    return true;
}

} // namespace Movendi::Platform
