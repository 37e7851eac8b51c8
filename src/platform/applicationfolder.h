#pragma once

#include <QString>
#include <QStringList>

namespace Movendi::Platform {

// The application folder: "--dossier DIR" (or "--dossier=DIR") on the command line, else the
// MOVENDI_DOSSIER environment value, else the executable's folder. Absolute, cleaned, letter case
// kept, without a trailing "/".
QString resolveApplicationFolder(const QStringList &arguments, const QString &environmentValue,
                                 const QString &executableFolder);

// The exchange folder shared with the mechanism side (door state, fault report, backups):
// "Machine"/"CheminEpi" of the configuration file, default application folder + "/epi".
QString exchangeFolder(const QString &applicationFolder, const QString &iniPath);
// The exchange folder when "Machine"/"CheminEpi" names none, in the application folder.
inline constexpr const char *DefaultExchangeFolder = "epi";

} // namespace Movendi::Platform
