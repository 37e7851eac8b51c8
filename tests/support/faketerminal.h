#pragma once

#include "platform/serialline.h"

#include <QByteArray>
#include <QList>

#include <deque>
#include <functional>

namespace Movendi::Test {

// An in-process terminal on a simulated line, timed by the installed clock: what it sends
// becomes readable at its due time, so a manual clock runs long dialogues instantly. It speaks
// the terminal's side of the line discipline; tests queue the frames it answers with.
class FakeTerminal
{
public:
    enum class EnqReply { Ack, Silent };

    // Frames sent after the hand-over of a request: one item per acknowledgement, then EOT.
    using Answer = QList<QByteArray>;
    std::function<Answer(const QByteArray &message)> answerFor;

    EnqReply enqReply = EnqReply::Ack;
    // When set, decides for each ENQ of the kiosk (counted from 1) whether it is acknowledged.
    std::function<bool(int)> ackEnq;
    int collisionsLeft = 0; // ENQs answered by the terminal's own ENQ and collisionFrame
    QByteArray collisionFrame;
    int naksLeft = 0;            // frames refused before one is taken
    bool frameSilent = false;    // frames taken without a reply
    bool handOverSilent = false; // no ENQ after the kiosk's EOT
    qint64 replyDelayMs = 2;
    qint64 processingMs = 20;

    // Raw bytes readable once atMs of the clock have passed (absolute monotonic time).
    void deliverAt(qint64 atMs, const QByteArray &bytes);
    void deliver(const QByteArray &bytes, qint64 afterMs = 0);

    QByteArray written() const { return m_written; }
    QList<QByteArray> framesReceived() const { return m_frames; }
    int count(char c) const { return int(m_written.count(c)); }

    // The line side, used by FakeTerminalLine.
    void received(const QByteArray &bytes);
    int available() const;
    QByteArray take(int max);
    void dropPending();

private:
    void onByte(char c);
    void sendNext();

    struct Pending
    {
        qint64 at;
        QByteArray bytes;
    };
    std::deque<Pending> m_pending; // in due order
    QByteArray m_written;
    QList<QByteArray> m_frames;
    QByteArray m_frame;
    bool m_inFrame = false;
    bool m_awaitLrc = false;
    QByteArray m_lastMessage;
    bool m_messageTaken = false;
    std::deque<QByteArray> m_queue;
    bool m_sending = false;
    int m_enqs = 0;
};

class FakeTerminalLine final : public Platform::SerialLine
{
public:
    explicit FakeTerminalLine(FakeTerminal &terminal) : m_terminal(terminal) {}
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
    FakeTerminal &m_terminal;
    bool m_open = false;
    int m_inputLength = 0;
    QString m_error;
};

class FakeTerminalFactory final : public Platform::SerialLineFactory
{
public:
    explicit FakeTerminalFactory(FakeTerminal &terminal) : m_terminal(terminal) {}
    std::unique_ptr<Platform::SerialLine> create(const QString &) override
    {
        return std::make_unique<FakeTerminalLine>(m_terminal);
    }

private:
    FakeTerminal &m_terminal;
};

// An answer frame as the terminal lays it out, split into two blocks when longer than one.
QList<QByteArray> answerBlocks(const QByteArray &message);
// A display frame of two 16-character lines.
QByteArray displayFrame(const QByteArray &line1, const QByteArray &line2);

} // namespace Movendi::Test
