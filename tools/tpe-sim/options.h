#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace Movendi::TpeSim {

struct Options
{
    QString link;
    QString journal;
    QStringList scenarioFiles;
    QStringList directives;
    bool help = false;
};

// Options first, then directives (one argument each); "--" ends the options.
// Returns an error text for an unknown option or a missing value.
std::optional<QString> parseOptions(const QStringList &arguments, Options &options);
QString usage();

} // namespace Movendi::TpeSim
