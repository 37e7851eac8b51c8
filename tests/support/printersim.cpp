#include "printersim.h"

#include "kiosktest.h"

namespace Movendi::Test {

bool PrinterSimulator::start(const QString &linkPath, int timeoutMs)
{
    QStringList arguments{QStringLiteral("--sortie"), outputPath(), QStringLiteral("--texte"),
                          textPath()};
    if (!linkPath.isEmpty())
        arguments << QStringLiteral("--lien") << linkPath;
    return m_sim.start(binaryPath("movendi-printer-sim"), arguments, "IMPRIMANTE: ", timeoutMs);
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
    return HelperProcess::readAll(outputPath());
}

QString PrinterSimulator::text() const
{
    return QString::fromUtf8(HelperProcess::readAll(textPath()));
}

bool PrinterSimulator::waitForBytes(qsizetype n, int timeoutMs) const
{
    return HelperProcess::waitUntil([&] { return bytes().size() >= n; }, timeoutMs);
}

} // namespace Movendi::Test
