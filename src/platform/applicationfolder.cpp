#include "platform/applicationfolder.h"

#include "platform/profilefile.h"

#include <QDir>

namespace Movendi::Platform {

namespace {
QString normalised(const QString &folder)
{
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}
} // namespace

QString resolveApplicationFolder(const QStringList &arguments, const QString &environmentValue,
                                 const QString &executableFolder)
{
    const QString option = QStringLiteral("--dossier");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == option && i + 1 < arguments.size() && !arguments.at(i + 1).isEmpty())
            return normalised(arguments.at(i + 1));
        if (arg.startsWith(option + QLatin1Char('=')) && arg.size() > option.size() + 1)
            return normalised(arg.mid(option.size() + 1));
    }
    if (!environmentValue.trimmed().isEmpty())
        return normalised(environmentValue.trimmed());
    return normalised(executableFolder);
}

QString exchangeFolder(const QString &applicationFolder, const QString &iniPath)
{
    const ProfileValue configured =
        readProfileString(iniPath, QStringLiteral("Machine"), QStringLiteral("CheminEpi"));
    if (configured.status == ProfileStatus::Found && !configured.value.isEmpty())
        return normalised(QDir(applicationFolder).absoluteFilePath(configured.value));
    return normalised(applicationFolder + QLatin1Char('/') + QLatin1String(DefaultExchangeFolder));
}

} // namespace Movendi::Platform
