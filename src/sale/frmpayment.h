#pragma once

#include <QWidget>

namespace Movendi::Sale {

// The payment screen. For now it only acknowledges the basket and returns home: card payment
// and delivery come with the terminal link.
class FrmPayment : public QWidget
{
    Q_OBJECT
public:
    explicit FrmPayment(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace Movendi::Sale
