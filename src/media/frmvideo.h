#pragma once

#include <QDialog>
#include <functional>

namespace Movendi::Platform {
class KioskTimer;
}

namespace Movendi::Media {

// The attract player, shown modally over the home screen while nobody uses the kiosk. For now
// it shows the invitation without the film; touching a language button ends it. While it is
// shown, its Timer1 runs every 250 ms (the nightly schedule).
class FrmVideo : public QDialog
{
    Q_OBJECT
public:
    // arreterVideo: the home screen's ArreterVideo, which hides this screen; timer1: what each
    // tick of Timer1 runs.
    explicit FrmVideo(std::function<void()> arreterVideo, std::function<void()> timer1 = {},
                      QWidget *parent = nullptr);

    Platform::KioskTimer *Timer1() const { return m_timer1; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void choisir(const QString &langue);

    std::function<void()> m_arreterVideo;
    Platform::KioskTimer *m_timer1;
};

} // namespace Movendi::Media
