#include "options.h"

namespace Movendi::TpeSim {

std::optional<QString> parseOptions(const QStringList &arguments, Options &options)
{
    qsizetype i = 1;
    const auto value = [&](QString &target) -> std::optional<QString> {
        if (i + 1 >= arguments.size())
            return QStringLiteral("%1 demande une valeur").arg(arguments.at(i));
        target = arguments.at(++i);
        return std::nullopt;
    };
    for (; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        std::optional<QString> error;
        if (a == QLatin1String("--")) {
            ++i;
            break;
        } else if (a == QLatin1String("--lien")) {
            error = value(options.link);
        } else if (a == QLatin1String("--journal")) {
            error = value(options.journal);
        } else if (a == QLatin1String("--scenario")) {
            QString file;
            error = value(file);
            options.scenarioFiles.append(file);
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            options.help = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return QStringLiteral("option inconnue: %1").arg(a);
        } else {
            break;
        }
        if (error)
            return error;
    }
    for (; i < arguments.size(); ++i)
        options.directives.append(arguments.at(i));
    return std::nullopt;
}

QString usage()
{
    return QStringLiteral(
        "usage: movendi-tpe-sim [--lien CHEMIN] [--journal FICHIER] [--scenario FICHIER]...\n"
        "                       [--] [DIRECTIVE]...\n"
        "Simulates the MPC10S payment terminal on a pseudo-terminal; prints \"TPE: /dev/pts/N\"\n"
        "and runs until SIGTERM or SIGINT. Each DIRECTIVE is one argument, e.g. \"carte "
        "absente\";\n"
        "see tools/tpe-sim/README.md for the list.\n");
}

} // namespace Movendi::TpeSim
