#pragma once

#include <QDialog>
#include <functional>

namespace Movendi::Media {

// The attract player, shown modally over the home screen while nobody uses the kiosk. For now
// it shows the invitation without the film; touching a language button ends it.
class FrmVideo : public QDialog
{
    Q_OBJECT
public:
    // arreterVideo: the home screen's ArreterVideo, which hides this screen.
    explicit FrmVideo(std::function<void()> arreterVideo, QWidget *parent = nullptr);

private:
    void choisir(const QString &langue);

    std::function<void()> m_arreterVideo;
};

} // namespace Movendi::Media
