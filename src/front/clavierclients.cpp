#include "front/clavierclients.h"

#include <QCoreApplication>
#include <QEvent>

namespace Movendi::Front {

ClavierClients::ClavierClients(QList<QWidget *> ecrans, QObject *parent) : QObject(parent)
{
    for (QWidget *ecran : ecrans)
        m_ecrans.append(ecran);
    QCoreApplication::instance()->installEventFilter(this);
}

bool ClavierClients::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::ShortcutOverride && type != QEvent::Shortcut)
        return false;
    if (!watched->isWidgetType())
        return false;
    QWidget *fenetre = static_cast<QWidget *>(watched)->window();
    for (const QPointer<QWidget> &ecran : m_ecrans) {
        if (ecran && ecran == fenetre)
            return true;
    }
    return false;
}

} // namespace Movendi::Front
