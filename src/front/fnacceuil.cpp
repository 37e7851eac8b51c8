#include "fnacceuil.h"

#include "startup/demarrage.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace Movendi::Front {

FnAcceuil::FnAcceuil(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FnAcceuil"));
    setWindowTitle(QStringLiteral("acceuil"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setStyleSheet(QStringLiteral("background:#10233f; color:white;"));
    auto *layout = new QVBoxLayout(this);
    auto *titre = new QLabel(QStringLiteral("Movendi"), this);
    titre->setObjectName(QStringLiteral("LblTitre"));
    titre->setAlignment(Qt::AlignCenter);
    titre->setStyleSheet(QStringLiteral("font-size:64px; font-weight:bold;"));
    layout->addWidget(titre);
}

void FnAcceuil::terminer()
{
    if (m_termine)
        return;
    m_termine = true;
    Startup::EcrireDrapeauMarche(false);
    hide();
    QCoreApplication::quit();
}

void FnAcceuil::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F) {
        terminer();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FnAcceuil::closeEvent(QCloseEvent *event)
{
    terminer();
    event->accept();
}

} // namespace Movendi::Front
