#include "frmpayment.h"

#include "startup/fnkestrel.h"
#include "startup/kioskstyle.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace Movendi::Sale {

FrmPayment::FrmPayment(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmPayment"));
    setWindowTitle(QStringLiteral("Paiement"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setStyleSheet(Startup::KioskStyle::feuille());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Startup::KioskStyle::bandeau(this));
    auto *panel = Startup::KioskStyle::titre(QStringLiteral("PanelAnnulation"), this);
    panel->setAlignment(Qt::AlignCenter);
    layout->addWidget(panel, 1);
}

void FrmPayment::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    QTimer::singleShot(0, this, [] { Startup::RetournerAccueil(); });
}

} // namespace Movendi::Sale
