#pragma once

#include <QList>
#include <QString>

namespace Movendi::Platform {

/// A message box with a single OK button. show() returns once the box has been acknowledged.
class MessageBox
{
public:
    virtual ~MessageBox() = default;
    virtual void show(const QString &title, const QString &text) = 0;
};

struct ShownMessage
{
    QString title;
    QString text;
};

// Keeps every box shown, for tests.
class RecordingMessageBox final : public MessageBox
{
public:
    void show(const QString &title, const QString &text) override;
    const QList<ShownMessage> &shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    QList<ShownMessage> m_shown;
};

// Appends each box to a text file and acknowledges it at once, for unattended demo runs:
// a "title" line, the text with CR shown as "\r", and an empty line.
class FileMessageBox final : public MessageBox
{
public:
    explicit FileMessageBox(QString path) : m_path(std::move(path)) {}
    void show(const QString &title, const QString &text) override;

private:
    QString m_path;
};

} // namespace Movendi::Platform
