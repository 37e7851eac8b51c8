#include "frmremplissage.h"

#include "startup/fnkestrel.h"
#include "startup/kioskstyle.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace Movendi::Stock {

FrmRemplissage::FrmRemplissage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmRemplissage"));
    setWindowTitle(QStringLiteral("remplissage"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setStyleSheet(Startup::KioskStyle::feuille());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Startup::KioskStyle::bandeau(this));
    auto *aide = Startup::KioskStyle::titre(QStringLiteral("LabelAide"), this);
    aide->setText(QStringLiteral("Remplissage — F4 : retour à l'accueil"));
    aide->setAlignment(Qt::AlignCenter);
    layout->addWidget(aide, 1);
}

void FrmRemplissage::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F4) {
        Startup::RetournerAccueil();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace Movendi::Stock
