#pragma once

#include <QWidget>

namespace Movendi::Stock {

// The staff refill screen, opened with F12 on the home screen. For now it only offers the way
// back: F4 returns home.
class FrmRemplissage : public QWidget
{
    Q_OBJECT
public:
    explicit FrmRemplissage(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace Movendi::Stock
