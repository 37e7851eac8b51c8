#pragma once

#include <QString>
#include <optional>

namespace Movendi::Platform {

// Finds a plain file in a folder without regard to letter case, as the kiosk's original file
// system did, and tells the name as it is spelled on disk. A name with a folder part, a folder,
// or an unreadable folder gives nothing.
std::optional<QString> findFileNoCase(const QString &folder, const QString &fileName);

// The path to open for folder + name: the spelling found on disk, else the name as given.
QString resolveFileNoCase(const QString &folder, const QString &fileName);

// Same as resolveFileNoCase for a full path.
QString resolvePathNoCase(const QString &path);

} // namespace Movendi::Platform
