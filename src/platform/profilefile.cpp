#include "platform/profilefile.h"

#include "platform/filelookup.h"
#include "platform/windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <optional>

namespace Movendi::Platform {

namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");

struct ProfileText
{
    QStringList lines;
    bool utf8 = true;
    bool bom = false;
    QString eol = QStringLiteral("\n");
};

ProfileText decode(const QByteArray &raw)
{
    ProfileText text;
    QByteArray body = raw;
    QString content;
    if (body.startsWith(utf8Bom)) {
        text.bom = true;
        body.remove(0, utf8Bom.size());
        content = QString::fromUtf8(body);
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        content = utf8.decode(body);
        if (utf8.hasError()) {
            text.utf8 = false;
            content = fromWindows1252(body);
        }
    }
    if (content.contains(QLatin1String("\r\n")))
        text.eol = QStringLiteral("\r\n");
    content.remove(QLatin1Char('\r'));
    text.lines = content.split(QLatin1Char('\n'));
    if (!text.lines.isEmpty() && text.lines.constLast().isEmpty())
        text.lines.removeLast(); // the final line break ends the last line, it opens none
    return text;
}

// Section name of a "[name]" line, or a null string for other lines.
QString sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return {};
    const qsizetype end = t.indexOf(QLatin1Char(']'));
    const QString name = (end < 0 ? t.mid(1) : t.mid(1, end - 1)).trimmed();
    return name.isNull() ? QString(QLatin1String("")) : name;
}

bool splitKeyLine(const QString &line, QString *key, QString *value)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0 || line.trimmed().startsWith(QLatin1Char(';')))
        return false;
    *key = line.left(eq).trimmed();
    *value = line.mid(eq + 1).trimmed();
    return true;
}

QString stripQuotes(const QString &value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

// Index of the section header line, or -1.
qsizetype findSection(const QStringList &lines, const QString &section)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString name = sectionName(lines.at(i));
        if (!name.isNull() && name.compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// One past the last line belonging to the section that starts at header.
qsizetype sectionEnd(const QStringList &lines, qsizetype header)
{
    qsizetype i = header + 1;
    while (i < lines.size() && sectionName(lines.at(i)).isNull())
        ++i;
    return i;
}

qsizetype findKey(const QStringList &lines, qsizetype header, const QString &key, QString *value)
{
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        QString k, v;
        if (splitKeyLine(lines.at(i), &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            if (value)
                *value = v;
            return i;
        }
    }
    return -1;
}

// The whole file, or nothing when it is larger than a profile can be (one byte past the limit
// is read, which also bounds devices of unknown size).
std::optional<QByteArray> readBounded(QFile &file)
{
    if (file.size() > ProfileFileMaxSize)
        return std::nullopt;
    QByteArray bytes = file.read(ProfileFileMaxSize + 1);
    if (bytes.size() > ProfileFileMaxSize || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

} // namespace

ProfileValue readProfileString(const QString &path, const QString &section, const QString &key)
{
    ProfileValue result;
    const QString actual = resolvePathNoCase(path);
    QFile file(actual);
    if (!QFileInfo(actual).isFile())
        return result;
    const std::optional<QByteArray> bytes =
        file.open(QIODevice::ReadOnly) ? readBounded(file) : std::nullopt;
    if (!bytes) {
        result.status = ProfileStatus::Unreadable;
        return result;
    }
    const ProfileText text = decode(*bytes);
    const qsizetype header = findSection(text.lines, section);
    QString value;
    if (header < 0 || findKey(text.lines, header, key, &value) < 0)
        return result;
    result.status = ProfileStatus::Found;
    result.value = stripQuotes(value).left(ProfileValueMaxLength);
    return result;
}

QList<ProfileEntry> readProfileEntries(const QString &path, ProfileStatus *status)
{
    QList<ProfileEntry> entries;
    const QString actual = resolvePathNoCase(path);
    QFile file(actual);
    if (status)
        *status = ProfileStatus::Absent;
    if (!QFileInfo(actual).isFile())
        return entries;
    const std::optional<QByteArray> bytes =
        file.open(QIODevice::ReadOnly) ? readBounded(file) : std::nullopt;
    if (!bytes) {
        if (status)
            *status = ProfileStatus::Unreadable;
        return entries;
    }
    if (status)
        *status = ProfileStatus::Found;
    const ProfileText text = decode(*bytes);
    QString section;
    qsizetype header = -1;
    for (qsizetype i = 0; i < text.lines.size(); ++i) {
        const QString name = sectionName(text.lines.at(i));
        if (!name.isNull()) {
            section = name;
            header = i;
            continue;
        }
        QString key, value;
        if (!splitKeyLine(text.lines.at(i), &key, &value))
            continue;
        ProfileEntry entry{section, key, stripQuotes(value).left(ProfileValueMaxLength), int(i + 1),
                           header < 0};
        if (!entry.hidden)
            entry.hidden = findSection(text.lines, section) != header ||
                           findKey(text.lines, header, key, nullptr) != i;
        entries.append(entry);
    }
    return entries;
}

std::int32_t parseProfileInt(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text.at(i) == QLatin1Char('0')) {
        const QChar p = text.at(i + 1).toLower();
        base = p == QLatin1Char('x')   ? 16
               : p == QLatin1Char('o') ? 8
               : p == QLatin1Char('b') ? 2
                                       : 10;
        if (base != 10)
            i += 2;
    }
    std::uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).toLower().unicode();
        const int digit = (c >= u'0' && c <= u'9')   ? c - u'0'
                          : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                                                     : 99;
        if (digit >= base)
            break;
        value = value * std::uint32_t(base) + std::uint32_t(digit);
    }
    if (negative)
        value = ~value + 1u;
    return static_cast<std::int32_t>(value);
}

std::int32_t readProfileInt(const QString &path, const QString &section, const QString &key,
                            std::int32_t defaultValue, ProfileStatus *status)
{
    const ProfileValue read = readProfileString(path, section, key);
    if (status)
        *status = read.status;
    if (read.status != ProfileStatus::Found || read.value.isEmpty())
        return defaultValue;
    return parseProfileInt(read.value);
}

bool writeProfileString(const QString &path, const QString &section, const QString &key,
                        const QString &value, QString *error)
{
    const QString actual = resolvePathNoCase(path);
    ProfileText text;
    QFile existing(actual);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) {
            if (error)
                *error = existing.errorString();
            return false;
        }
        const std::optional<QByteArray> bytes = readBounded(existing);
        if (!bytes) {
            if (error)
                *error = QStringLiteral("%1: plus de %2 octets, non réécrit")
                             .arg(actual)
                             .arg(ProfileFileMaxSize);
            return false;
        }
        text = decode(*bytes);
        existing.close();
    }

    const QString line = key + QLatin1Char('=') + value;
    const qsizetype header = findSection(text.lines, section);
    if (header < 0) {
        if (!text.lines.isEmpty() && !text.lines.constLast().trimmed().isEmpty())
            text.lines.append(QString());
        text.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        text.lines.append(line);
    } else if (const qsizetype at = findKey(text.lines, header, key, nullptr); at >= 0) {
        text.lines[at] = line;
    } else {
        // After the section's last non-blank line, so that a blank separator stays in place.
        qsizetype insertAt = sectionEnd(text.lines, header);
        while (insertAt > header + 1 && text.lines.at(insertAt - 1).trimmed().isEmpty())
            --insertAt;
        text.lines.insert(insertAt, line);
    }

    const QString content = text.lines.join(text.eol) + text.eol;
    QByteArray bytes;
    bool fits = true;
    if (!text.utf8)
        bytes = toWindows1252(content, &fits);
    if (text.utf8 || !fits) // a character the code page lacks turns the whole file to UTF-8
        bytes = (text.bom ? utf8Bom : QByteArray()) + content.toUtf8();

    QSaveFile out(actual);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

} // namespace Movendi::Platform
