#pragma once

#include "eventjournal.h"
#include "platform/serialline.h"
#include "scenario.h"
#include "terminal.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace Movendi::Test {

// The terminal simulator's own terminal, run inside the test on the installed clock and reached
// through a simulated serial line: what it sends becomes readable at its moment, so a manual
// clock runs long dialogues instantly, and the protocol is the simulator's, written once.
class SimulatedTerminal
{
public:
    using Frames = QList<QByteArray>;

    SimulatedTerminal();
    ~SimulatedTerminal();

    // Directives as movendi-tpe-sim takes them; an unknown one fails the test. Those that
    // set the terminal's starting state (the card) apply before its first byte only.
    void apply(const QStringList &directives);
    TpeSim::Scenario &scenario();
    // The test's own turn for a request: after the terminal's ENQ each frame goes out once
    // the previous one was acknowledged (loose bytes do not wait), then EOT. std::nullopt
    // leaves the request to the terminal's own answers.
    void answerFor(std::function<std::optional<Frames>(const QByteArray &message)> frames);
    // Bytes on the line the terminal did not send (left-overs, noise), readable afterMs later.
    void inject(const QByteArray &bytes, qint64 afterMs = 0);

    QByteArray written() const { return m_written; } // what the kiosk sent
    QList<QByteArray> framesReceived() const;        // the kiosk's frames among it
    int count(char c) const { return int(m_written.count(c)); }
    // When the last byte the kiosk read from the terminal was due, on the installed clock.
    qint64 lastReadDueMs() const { return m_lastReadDueMs; }
    // The simulator's event journal (see tools/tpe-sim/README.md).
    QStringList journal() const { return m_journal.lines(); }
    int journalCount(const QString &substring) const;

    // The line side.
    void received(const QByteArray &bytes);
    int available();
    QByteArray take(int max);

private:
    TpeSim::Terminal &terminal();
    void pump();
    // Keeps bytes until their moment, in due order.
    void attendre(TpeSim::Terminal::Clock::time_point at, const QByteArray &bytes);

    struct Pending
    {
        TpeSim::Terminal::Clock::time_point at;
        QByteArray bytes;
    };
    TpeSim::Scenario m_scenario;
    TpeSim::EventJournal m_journal{TpeSim::EventJournal::InMemory{}};
    std::unique_ptr<TpeSim::Terminal> m_terminal;
    std::deque<Pending> m_pending; // in due order
    QByteArray m_written;
    qint64 m_lastReadDueMs = 0;
};

class SimulatedTerminalLine final : public Platform::SerialLine
{
public:
    explicit SimulatedTerminalLine(SimulatedTerminal &terminal) : m_terminal(terminal) {}
    bool open(int portNumber, const QString &settings) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void setInputLength(int n) override { inputLength = m_inputLength = qMax(n, 0); }
    QByteArray read() override;
    int bytesAvailable() const override;
    bool write(const QByteArray &bytes) override;
    QString errorText() const override { return m_error; }

    static inline int opens = 0;
    static inline int lastPort = 0;
    static inline QString lastSettings;
    static inline bool refuseOpen = false;
    static inline int inputLength = 0; // of the last line set

private:
    SimulatedTerminal &m_terminal;
    bool m_open = false;
    int m_inputLength = 0;
    QString m_error;
};

class SimulatedTerminalFactory final : public Platform::SerialLineFactory
{
public:
    explicit SimulatedTerminalFactory(SimulatedTerminal &terminal) : m_terminal(terminal) {}
    std::unique_ptr<Platform::SerialLine> create(const QString &) override
    {
        return std::make_unique<SimulatedTerminalLine>(m_terminal);
    }

private:
    SimulatedTerminal &m_terminal;
};

// An answer frame as the terminal lays it out, in blocks when longer than one.
QList<QByteArray> answerBlocks(const QByteArray &message);
// A display frame of two 16-character lines.
QByteArray displayFrame(const QByteArray &line1, const QByteArray &line2);

} // namespace Movendi::Test
