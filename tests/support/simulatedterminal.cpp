#include "simulatedterminal.h"

#include "answers.h"
#include "payment/terminalframe.h"
#include "platform/clock.h"
#include "platform/seams.h"

#include <gtest/gtest.h>

namespace Movendi::Test {

using TimePoint = TpeSim::Terminal::Clock::time_point;
namespace Ctl = Payment::Ctl;

namespace {

TimePoint clockNow()
{
    return TimePoint(std::chrono::milliseconds(Platform::clock().monotonicMs()));
}

} // namespace

SimulatedTerminal::SimulatedTerminal() = default;
SimulatedTerminal::~SimulatedTerminal() = default;

TpeSim::Terminal &SimulatedTerminal::terminal()
{
    if (!m_terminal) {
        m_terminal = std::make_unique<TpeSim::Terminal>(
            m_scenario, m_journal,
            [this](const QByteArray &bytes, TimePoint at) { attendre(at, bytes); });
    }
    return *m_terminal;
}

TpeSim::Scenario &SimulatedTerminal::scenario()
{
    return m_terminal ? m_terminal->scenario() : m_scenario;
}

void SimulatedTerminal::apply(const QStringList &directives)
{
    for (const QString &directive : directives) {
        if (const auto error = scenario().apply(directive))
            ADD_FAILURE() << error->toStdString();
    }
}

void SimulatedTerminal::answerFor(
    std::function<std::optional<Frames>(const QByteArray &message)> frames)
{
    scenario().script =
        [frames](const QByteArray &message) -> std::optional<QList<TpeSim::ScriptedItem>> {
        const std::optional<Frames> turn = frames(message);
        if (!turn)
            return std::nullopt;
        QList<TpeSim::ScriptedItem> items;
        for (const QByteArray &bytes : *turn)
            items.append({bytes, bytes.startsWith(Ctl::STX)});
        return items;
    };
}

void SimulatedTerminal::attendre(TpeSim::Terminal::Clock::time_point at, const QByteArray &bytes)
{
    auto it = m_pending.end();
    while (it != m_pending.begin() && std::prev(it)->at > at)
        --it;
    m_pending.insert(it, Pending{at, bytes});
}

void SimulatedTerminal::inject(const QByteArray &bytes, qint64 afterMs)
{
    attendre(clockNow() + std::chrono::milliseconds(afterMs), bytes);
}

QList<QByteArray> SimulatedTerminal::framesReceived() const
{
    QList<QByteArray> frames;
    qsizetype at = m_written.indexOf(Ctl::STX);
    while (at >= 0) {
        const qsizetype end = m_written.indexOf(QByteArray() + Ctl::DLE + Ctl::ETX, at);
        if (end < 0)
            break;
        frames << m_written.mid(at, end + 3 - at);
        at = m_written.indexOf(Ctl::STX, end + 3);
    }
    return frames;
}

int SimulatedTerminal::journalCount(const QString &substring) const
{
    int n = 0;
    for (const QString &line : m_journal.lines())
        n += line.contains(substring) ? 1 : 0;
    return n;
}

void SimulatedTerminal::pump()
{
    TpeSim::Terminal &t = terminal();
    const TimePoint now = clockNow();
    // Everything that fell due since the last look, each at its own moment.
    for (int guard = 0; guard < 100000; ++guard) {
        const auto due = t.deadline();
        if (!due || *due > now)
            break;
        t.tick(*due);
    }
}

void SimulatedTerminal::received(const QByteArray &bytes)
{
    pump();
    m_written += bytes;
    terminal().receive(bytes, clockNow());
}

int SimulatedTerminal::available()
{
    pump();
    const TimePoint now = clockNow();
    int n = 0;
    for (const Pending &p : m_pending) {
        if (p.at > now)
            break;
        n += int(p.bytes.size());
    }
    return n;
}

QByteArray SimulatedTerminal::take(int max)
{
    pump();
    const TimePoint now = clockNow();
    QByteArray out;
    while (!m_pending.empty() && m_pending.front().at <= now && (max == 0 || out.size() < max)) {
        Pending &p = m_pending.front();
        m_lastReadDueMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(p.at.time_since_epoch()).count();
        const qsizetype room = max == 0 ? p.bytes.size() : qMin(p.bytes.size(), max - out.size());
        out += p.bytes.left(room);
        p.bytes.remove(0, room);
        if (p.bytes.isEmpty())
            m_pending.pop_front();
    }
    return out;
}

bool SimulatedTerminalLine::open(int portNumber, const QString &settings)
{
    ++opens;
    lastPort = portNumber;
    lastSettings = settings;
    if (refuseOpen) {
        m_error = QStringLiteral("Cannot open port %1: no such device").arg(portNumber);
        return false;
    }
    m_open = true;
    return true;
}

QByteArray SimulatedTerminalLine::read()
{
    return m_open ? m_terminal.take(m_inputLength) : QByteArray();
}

int SimulatedTerminalLine::bytesAvailable() const
{
    return m_open ? m_terminal.available() : 0;
}

bool SimulatedTerminalLine::write(const QByteArray &bytes)
{
    if (!m_open)
        return false;
    m_terminal.received(bytes);
    return true;
}

QList<QByteArray> answerBlocks(const QByteArray &message)
{
    return TpeSim::toBlocks({message, {}});
}

QByteArray displayFrame(const QByteArray &line1, const QByteArray &line2)
{
    return Payment::buildFrame(TpeSim::displayMessage(line1, line2));
}

} // namespace Movendi::Test
