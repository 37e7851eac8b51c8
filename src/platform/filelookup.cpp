#include "platform/filelookup.h"

#include <QDir>
#include <QFileInfo>

namespace Movendi::Platform {

std::optional<QString> findFileNoCase(const QString &folder, const QString &fileName)
{
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')))
        return std::nullopt;
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    // Exact spelling first: cheap, and the right answer when two names differ only by case.
    const QFileInfo exact(dir.filePath(fileName));
    if (exact.isFile())
        return fileName;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0 &&
            QFileInfo(dir.filePath(entry)).isFile())
            return entry;
    }
    return std::nullopt;
}

QString resolveFileNoCase(const QString &folder, const QString &fileName)
{
    const auto found = findFileNoCase(folder, fileName);
    return QDir(folder).filePath(found.value_or(fileName));
}

QString resolvePathNoCase(const QString &path)
{
    const QFileInfo info(path);
    return resolveFileNoCase(info.path(), info.fileName());
}

} // namespace Movendi::Platform
