#pragma once

#include <QByteArray>
#include <QString>

QT_BEGIN_NAMESPACE
class QTextDocument;
QT_END_NAMESPACE

namespace Movendi::Platform {

// Reads the RTF subset of article descriptions: groups, paragraphs and line breaks, bold,
// italic, underline, font size, colours, Windows-1252 and Unicode characters. Destinations that
// hold no body text (font and colour tables, style sheet, document information, pictures,
// headers and footers, "\*" groups) are left out, unknown control words are ignored. Any input,
// however malformed, gives a result in time linear in its size.

// HTML for QTextBrowser::setHtml, one <p> per paragraph.
QString rtfToHtml(const QByteArray &rtf);

// The text alone, with '\n' between paragraphs and between the lines of one.
QString rtfToPlainText(const QByteArray &rtf);

// Replaces the content of *document with the file's text and formats. A missing, unreadable or
// oversized file returns false with a reason and leaves the document as it was.
bool loadRtfFile(const QString &path, QTextDocument *document, QString *error = nullptr);

// Larger files are refused rather than read into memory.
inline constexpr qint64 RtfFileMaxSize = 32 * 1024 * 1024;

} // namespace Movendi::Platform
