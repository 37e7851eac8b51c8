#include "tpesim.h"

#include "kiosktest.h"

namespace Movendi::Test {

bool TpeSimulator::start(const QStringList &directives, const QString &linkPath, int timeoutMs)
{
    QStringList arguments{QStringLiteral("--journal"), journalPath()};
    if (!linkPath.isEmpty())
        arguments << QStringLiteral("--lien") << linkPath;
    arguments << QStringLiteral("--") << directives;
    return m_sim.start(binaryPath("movendi-tpe-sim"), arguments, "TPE: ", timeoutMs);
}

QString TpeSimulator::journalPath() const
{
    return m_sim.filePath(QStringLiteral("journal.txt"));
}

QStringList TpeSimulator::journal() const
{
    QStringList lines =
        QString::fromUtf8(HelperProcess::readAll(journalPath())).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

int TpeSimulator::count(const QString &substring) const
{
    int n = 0;
    for (const QString &line : journal())
        n += line.contains(substring) ? 1 : 0;
    return n;
}

bool TpeSimulator::waitFor(const QString &substring, int n, int timeoutMs) const
{
    return HelperProcess::waitUntil([&] { return count(substring) >= n; }, timeoutMs);
}

} // namespace Movendi::Test
