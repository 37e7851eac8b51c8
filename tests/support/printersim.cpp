#include "printersim.h"

namespace Movendi::Test {

bool PrinterSimulator::start(const QString &linkPath, int timeoutMs)
{
    QStringList arguments{QStringLiteral("--sortie"), outputPath(), QStringLiteral("--texte"),
                          textPath()};
    if (!linkPath.isEmpty())
        arguments << QStringLiteral("--lien") << linkPath;
    return m_sim.start("movendi-printer-sim", arguments, "IMPRIMANTE: ", timeoutMs);
}

QString PrinterSimulator::outputPath() const
{
    return m_sim.filePath(QStringLiteral("printer.bin"));
}

QString PrinterSimulator::textPath() const
{
    return m_sim.filePath(QStringLiteral("printer.txt"));
}

QByteArray PrinterSimulator::bytes() const
{
    return SimulatorProcess::readAll(outputPath());
}

QString PrinterSimulator::text() const
{
    return QString::fromUtf8(SimulatorProcess::readAll(textPath()));
}

bool PrinterSimulator::waitForBytes(qsizetype n, int timeoutMs) const
{
    return SimulatorProcess::waitUntil([&] { return bytes().size() >= n; }, timeoutMs);
}

} // namespace Movendi::Test
