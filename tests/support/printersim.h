#pragma once

#include "helperprocess.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace Movendi::Test {

// The ticket printer simulator (movendi-printer-sim) as a child process on its own
// pseudo-terminal, writing what it receives to files of its own temporary folder. Stopped
// (SIGTERM) on destruction.
class PrinterSimulator
{
public:
    PrinterSimulator() = default;
    PrinterSimulator(const PrinterSimulator &) = delete;
    PrinterSimulator &operator=(const PrinterSimulator &) = delete;

    // Starts the simulator and, when given, a symbolic link to its device. Waits for its
    // "IMPRIMANTE: " line; on failure adds a test failure naming the cause and returns false.
    bool start(const QString &linkPath = {}, int timeoutMs = 5000);
    // SIGTERM and wait; a simulator that does not stop is killed (also on destruction).
    void stop() { m_sim.stop(); }
    bool isRunning() const { return m_sim.isRunning(); }

    // The slave side of the pseudo-terminal, e.g. "/dev/pts/3".
    QString devicePath() const { return m_sim.readyText(); }
    QString outputPath() const;
    QString textPath() const;
    // Every byte received so far.
    QByteArray bytes() const;
    // The readable rendering so far (see tools/printer-sim/README.md).
    QString text() const;
    // Waits until at least n bytes have been received; false on time-out.
    bool waitForBytes(qsizetype n, int timeoutMs = 3000) const;
    // Every byte written to the device before this call, and only those: a mark written after
    // them on the same line comes out after every earlier byte, so once the mark is seen nothing
    // is still on its way. The mark goes through the device itself, or through `write` when
    // another program holds the port. Nothing (and a test failure) if the mark never comes.
    std::optional<QByteArray>
    bytesBeforeMark(const std::function<bool(const QByteArray &)> &write = {}) const;
    // What the simulator wrote on its standard error.
    QString errors() const { return m_sim.errors(); }

private:
    HelperProcess m_sim{"movendi-printer-sim"};
    mutable int m_marks = 0;
};

} // namespace Movendi::Test
