#include "frmvideo.h"

#include "platform/kiosktimer.h"
#include "startup/etatdemarrage.h"
#include "startup/kioskstyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Movendi::Media {

namespace KioskStyle = Startup::KioskStyle;

FrmVideo::FrmVideo(std::function<void()> arreterVideo, std::function<void()> timer1,
                   QWidget *parent)
    : QDialog(parent), m_arreterVideo(std::move(arreterVideo)),
      m_timer1(new Platform::KioskTimer(this))
{
    m_timer1->setInterval(250);
    connect(m_timer1, &Platform::KioskTimer::timeout, this, [timer1 = std::move(timer1)] {
        if (timer1)
            timer1();
    });
    setObjectName(QStringLiteral("FrmVideo"));
    setWindowTitle(QStringLiteral("video"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setModal(true);
    setStyleSheet(
        KioskStyle::feuille() +
        QStringLiteral(
            "QDialog { background: #10233f; } QLabel { background: transparent; color: white; }"));
    auto *invitation = new QLabel(QStringLiteral("Touchez l'écran · Touch the screen"), this);
    invitation->setObjectName(QStringLiteral("Label1"));
    invitation->setAlignment(Qt::AlignCenter);
    invitation->setStyleSheet(QStringLiteral("font-size: 56px; font-weight: bold;"));
    auto *cmdAnn = KioskStyle::bouton(QStringLiteral("CmdAnn"), QStringLiteral("Français"),
                                      QStringLiteral("langue"), this);
    auto *command8 = KioskStyle::bouton(QStringLiteral("Command8"), QStringLiteral("English"),
                                        QStringLiteral("langue"), this);
    connect(cmdAnn, &QPushButton::clicked, this, [this] { choisir(QStringLiteral("FR")); });
    connect(command8, &QPushButton::clicked, this, [this] { choisir(QStringLiteral("EN")); });
    auto *boutons = new QHBoxLayout;
    boutons->addStretch(1);
    boutons->addWidget(cmdAnn);
    boutons->addSpacing(40);
    boutons->addWidget(command8);
    boutons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(60, 60, 60, 80);
    layout->addWidget(invitation, 1);
    layout->addLayout(boutons);
}

void FrmVideo::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_timer1->start();
}

void FrmVideo::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    m_timer1->stop();
}

void FrmVideo::choisir(const QString &langue)
{
    Startup::etat().Langue = langue;
    if (m_arreterVideo)
        m_arreterVideo();
    hide();
}

} // namespace Movendi::Media
