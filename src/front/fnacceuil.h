#pragma once

#include <QWidget>

namespace Movendi::Front {

// The home screen, captioned "acceuil". For now it shows the kiosk's name and obeys the staff
// key F, which ends the program in order.
class FnAcceuil : public QWidget
{
    Q_OBJECT
public:
    explicit FnAcceuil(QWidget *parent = nullptr);

    // Ends the program in order: the running flag goes to "NON", then the event loop quits.
    void terminer();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_termine = false;
};

} // namespace Movendi::Front
