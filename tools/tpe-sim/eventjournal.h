#pragma once

#include <QByteArray>
#include <QString>

namespace Movendi::TpeSim {

// Bytes as a journal shows them: control characters by name ("<STX>"), other unprintable
// bytes as two hex digits ("<1F>"), printable ones as they are.
QString readable(const QByteArray &bytes);
// A check character as "<xx>".
QString hexByte(char byte);

// One line per event, appended and written at once so that a test can read the file while
// the simulator runs. Without a file name it records nothing.
class EventJournal
{
public:
    explicit EventJournal(const QString &fileName = {});
    ~EventJournal();
    EventJournal(const EventJournal &) = delete;
    EventJournal &operator=(const EventJournal &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void write(const QString &line);

private:
    int m_fd = -1;
};

} // namespace Movendi::TpeSim
