#pragma once

#include "helperprocess.h"

#include <QString>
#include <QStringList>

namespace Movendi::Test {

// The payment terminal simulator (movendi-tpe-sim) as a child process on its own
// pseudo-terminal. It runs by itself, so a test may poll the serial line on its own thread
// while the simulator answers. Stopped (SIGTERM) on destruction.
class TpeSimulator
{
public:
    TpeSimulator() = default;
    TpeSimulator(const TpeSimulator &) = delete;
    TpeSimulator &operator=(const TpeSimulator &) = delete;

    // Starts the simulator with one directive per entry (see tools/tpe-sim/README.md) and,
    // when given, a symbolic link to its device. Waits for its "TPE: " line; on failure adds
    // a test failure naming the cause and returns false.
    bool start(const QStringList &directives = {}, const QString &linkPath = {},
               int timeoutMs = 5000);
    // SIGTERM and wait; a simulator that does not stop is killed (also on destruction).
    void stop() { m_sim.stop(); }
    bool isRunning() const { return m_sim.isRunning(); }

    // The slave side of the pseudo-terminal, e.g. "/dev/pts/3".
    QString devicePath() const { return m_sim.readyText(); }
    QString journalPath() const;
    // The journal so far, one event a line.
    QStringList journal() const;
    // Journal lines containing substring.
    int count(const QString &substring) const;
    // Waits until at least n journal lines contain substring; false on time-out.
    bool waitFor(const QString &substring, int n = 1, int timeoutMs = 3000) const;
    // What the simulator wrote on its standard error.
    QString errors() const { return m_sim.errors(); }

private:
    HelperProcess m_sim{"movendi-tpe-sim"};
};

} // namespace Movendi::Test
