#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Movendi::TpeSim {

// Bytes as a journal shows them: control characters by name ("<STX>"), other unprintable
// bytes as two hex digits ("<1F>"), printable ones as they are.
QString readable(const QByteArray &bytes);
// A check character as "<xx>".
QString hexByte(char byte);

// One line per event, appended and written at once so that a test can read the file while
// the simulator runs. Without a file name it records nothing, or keeps the lines in memory
// when asked to (a terminal run inside a test).
class EventJournal
{
public:
    explicit EventJournal(const QString &fileName = {});
    struct InMemory
    {
    };
    explicit EventJournal(InMemory) : m_inMemory(true) {}
    ~EventJournal();
    EventJournal(const EventJournal &) = delete;
    EventJournal &operator=(const EventJournal &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void write(const QString &line);
    // The lines kept in memory.
    const QStringList &lines() const { return m_lines; }

private:
    int m_fd = -1;
    bool m_inMemory = false;
    QStringList m_lines;
};

} // namespace Movendi::TpeSim
