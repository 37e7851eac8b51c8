#include "platform/widgetmessagebox.h"

#include <QMessageBox>

namespace Movendi::Platform {

void WidgetMessageBox::show(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

} // namespace Movendi::Platform
