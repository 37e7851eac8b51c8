#include "printersim.h"

#include "kiosktest.h"

#include <QFile>

#include <gtest/gtest.h>

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

std::optional<QByteArray>
PrinterSimulator::bytesBeforeMark(const std::function<bool(const QByteArray &)> &write) const
{
    static const QByteArray prefix("~repere-");
    const QByteArray mark = prefix + QByteArray::number(++m_marks) + '~';
    bool written = false;
    if (write) {
        written = write(mark);
    } else {
        QFile device(devicePath());
        written = device.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                  device.write(mark) == mark.size();
    }
    if (!written) {
        ADD_FAILURE() << "could not write the mark to " << devicePath().toStdString();
        return std::nullopt;
    }
    if (!HelperProcess::waitUntil([&] { return bytes().contains(mark); }, 5000)) {
        ADD_FAILURE() << "the printer simulator never received the mark";
        return std::nullopt;
    }
    QByteArray before = bytes();
    before.truncate(before.indexOf(mark));
    // Marks of earlier calls are the test's, not the kiosk's.
    for (int i = 1; i < m_marks; ++i)
        before.replace(prefix + QByteArray::number(i) + '~', QByteArray());
    return before;
}

} // namespace Movendi::Test
