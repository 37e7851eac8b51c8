#include "faketerminal.h"

#include "payment/terminalframe.h"
#include "platform/clock.h"
#include "platform/seams.h"

namespace Movendi::Test {

using namespace Payment;

void FakeTerminal::deliverAt(qint64 atMs, const QByteArray &bytes)
{
    auto it = m_pending.begin();
    while (it != m_pending.end() && it->at <= atMs)
        ++it;
    m_pending.insert(it, Pending{atMs, bytes});
}

void FakeTerminal::deliver(const QByteArray &bytes, qint64 afterMs)
{
    deliverAt(Platform::clock().monotonicMs() + afterMs, bytes);
}

void FakeTerminal::received(const QByteArray &bytes)
{
    m_written += bytes;
    for (char c : bytes)
        onByte(c);
}

void FakeTerminal::onByte(char c)
{
    if (m_awaitLrc) {
        m_awaitLrc = false;
        const QByteArray frame = m_frame + c;
        m_frames << frame;
        if (frameSilent) {
            m_lastMessage = m_frame.mid(1, m_frame.size() - 3);
            m_messageTaken = true;
            return;
        }
        const bool good = ComputeLrc(m_frame) == QByteArray(1, c);
        if (naksLeft > 0 || !good) {
            if (good)
                --naksLeft;
            deliver(QByteArray(1, Ctl::NAK), replyDelayMs);
            return;
        }
        m_lastMessage = m_frame.mid(1, m_frame.size() - 3);
        m_messageTaken = true;
        deliver(QByteArray(1, Ctl::ACK), replyDelayMs);
        return;
    }
    if (m_inFrame) {
        m_frame += c;
        if (c == Ctl::ETX) {
            m_inFrame = false;
            m_awaitLrc = true;
        }
        return;
    }
    switch (c) {
    case Ctl::STX:
        m_inFrame = true;
        m_frame = QByteArray(1, c);
        break;
    case Ctl::ENQ:
        m_sending = false;
        m_queue.clear();
        if (collisionsLeft > 0) {
            --collisionsLeft;
            deliver(QByteArray(1, Ctl::ENQ), replyDelayMs);
            m_queue.push_back(collisionFrame);
            m_sending = true;
        } else if (ackEnq ? ackEnq(++m_enqs) : enqReply == EnqReply::Ack) {
            deliver(QByteArray(1, Ctl::ACK), replyDelayMs);
        }
        break;
    case Ctl::EOT:
        if (m_messageTaken && !handOverSilent) {
            m_messageTaken = false;
            const Answer answer = answerFor ? answerFor(m_lastMessage) : Answer();
            m_queue.assign(answer.begin(), answer.end());
            m_sending = true;
            deliver(QByteArray(1, Ctl::ENQ), processingMs);
        }
        break;
    case Ctl::ACK:
        if (m_sending)
            sendNext();
        break;
    default:
        break;
    }
}

void FakeTerminal::sendNext()
{
    if (m_queue.empty()) {
        m_sending = false;
        deliver(QByteArray(1, Ctl::EOT), replyDelayMs);
        return;
    }
    deliver(m_queue.front(), replyDelayMs);
    m_queue.pop_front();
}

int FakeTerminal::available() const
{
    const qint64 now = Platform::clock().monotonicMs();
    int n = 0;
    for (const Pending &p : m_pending) {
        if (p.at > now)
            break;
        n += int(p.bytes.size());
    }
    return n;
}

QByteArray FakeTerminal::take(int max)
{
    const qint64 now = Platform::clock().monotonicMs();
    QByteArray out;
    while (!m_pending.empty() && m_pending.front().at <= now && (max == 0 || out.size() < max)) {
        Pending &p = m_pending.front();
        const qsizetype room = max == 0 ? p.bytes.size() : qMin(p.bytes.size(), max - out.size());
        out += p.bytes.left(room);
        p.bytes.remove(0, room);
        if (p.bytes.isEmpty())
            m_pending.pop_front();
    }
    return out;
}

void FakeTerminal::dropPending()
{
    m_pending.clear();
}

bool FakeTerminalLine::open(int portNumber, const QString &settings)
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

QByteArray FakeTerminalLine::read()
{
    return m_open ? m_terminal.take(m_inputLength) : QByteArray();
}

int FakeTerminalLine::bytesAvailable() const
{
    return m_open ? m_terminal.available() : 0;
}

bool FakeTerminalLine::write(const QByteArray &bytes)
{
    if (!m_open)
        return false;
    m_terminal.received(bytes);
    return true;
}

QList<QByteArray> answerBlocks(const QByteArray &message)
{
    const QByteArray whole = buildFrame(message);
    if (whole.size() <= MaxBlock)
        return {whole};
    const QByteArray part = message.left(MaxSingleBlockAnswer);
    QByteArray second = Ctl::STX + message.mid(MaxSingleBlockAnswer) + Ctl::DLE + Ctl::ETX;
    second += ComputeLrc(second);
    return {buildFirstBlock(part), second};
}

QByteArray displayFrame(const QByteArray &line1, const QByteArray &line2)
{
    QByteArray frame = Ctl::STX + QByteArray("D") + line1.leftJustified(16, ' ', true) +
                       line2.leftJustified(16, ' ', true) + Ctl::DLE + Ctl::ETX;
    return frame + ComputeLrc(frame);
}

} // namespace Movendi::Test
