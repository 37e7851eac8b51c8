#include "platform/messagebox.h"

#include <QFile>

namespace Movendi::Platform {

void RecordingMessageBox::show(const QString &title, const QString &text)
{
    m_shown.append({title, text});
}

void FileMessageBox::show(const QString &title, const QString &text)
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    file.write((QStringLiteral("[%1] %2\n").arg(title, shown)).toUtf8());
}

} // namespace Movendi::Platform
