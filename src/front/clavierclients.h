#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace Movendi::Front {

// Keeps a keyboard plugged into the kiosk away from the sale screens: every key stroke and
// shortcut aimed at one of them, or at anything inside it, is swallowed. Customers touch; the
// staff keys live on the home screen.
class ClavierClients : public QObject
{
public:
    explicit ClavierClients(QList<QWidget *> ecrans, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QPointer<QWidget>> m_ecrans;
};

} // namespace Movendi::Front
