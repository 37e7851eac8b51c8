#include "media/frmvideo.h"

#include "media/taillefilm.h"

#include "platform/kiosktimer.h"
#include "platform/mediacommandes.h"
#include "platform/seams.h"
#include "screens/kioskstyle.h"
#include "state/etatdemarrage.h"
#include "utilities/fonctionutilitaires.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTime>

#include <limits>
#include <utility>

namespace Movendi::Media {

namespace KioskStyle = Screens::KioskStyle;
namespace TexteCommandeMedia = Platform::TexteCommandeMedia;

namespace {

constexpr int IntervalleTimer1Ms = 250;
// The film is at its end this close to its length.
constexpr std::int32_t MargeFinMs = 300;
const QStringList ExtensionsImages = {
    QStringLiteral("bmp"), QStringLiteral("jpe"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
    QStringLiteral("dib"), QStringLiteral("gif"), QStringLiteral("ico"), QStringLiteral("cur"),
    QStringLiteral("wmf"), QStringLiteral("emf")};

QString texteDuree(std::int32_t ms)
{
    return QTime(0, 0).addMSecs(qMax(0, ms)).toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

FrmVideo::FrmVideo(Actions actions, QWidget *parent)
    : QDialog(parent), m_actions(std::move(actions)), m_timer1(new Platform::KioskTimer(this))
{
    setObjectName(QStringLiteral("FrmVideo"));
    setWindowTitle(QStringLiteral("video"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setModal(true);
    setStyleSheet(KioskStyle::feuille() +
                  QStringLiteral("QDialog { background: black; } QLabel { background: "
                                 "transparent; color: white; }"
                                 "#Label1, #Label2 { font-size: 14px; color: #9fb3cc; }"
                                 "#LabelInvitation { font-size: 44px; font-weight: bold; }"
                                 "#CmdAnn, #Command8 { min-width: 300px; min-height: 110px;"
                                 " font-size: 34px; }"));
    m_picture1 = new QWidget(this);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setStyleSheet(QStringLiteral("background: black;"));
    m_affBmp = new QLabel(this);
    m_affBmp->setObjectName(QStringLiteral("AffBMP"));
    m_affBmp->setAlignment(Qt::AlignCenter);
    m_affBmp->hide();
    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_invitation = new QLabel(QStringLiteral("Touchez l'écran · Touch the screen"), this);
    m_invitation->setObjectName(QStringLiteral("LabelInvitation"));
    m_invitation->setAlignment(Qt::AlignCenter);
    m_cmdAnn = KioskStyle::bouton(QStringLiteral("CmdAnn"), QStringLiteral("Français"),
                                  QStringLiteral("langue"), this);
    m_command8 = KioskStyle::bouton(QStringLiteral("Command8"), QStringLiteral("English"),
                                    QStringLiteral("langue"), this);
    connect(m_cmdAnn, &QPushButton::clicked, this, &FrmVideo::CmdAnn_Click);
    connect(m_command8, &QPushButton::clicked, this, &FrmVideo::Command8_Click);

    m_timer1->setInterval(IntervalleTimer1Ms);
    connect(m_timer1, &Platform::KioskTimer::timeout, this, &FrmVideo::Timer1_Timer);
    installEventFilter(this);
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
    Form_Load();
}

FrmVideo::~FrmVideo()
{
    arreter();
}

QString FrmVideo::cheminFilm()
{
    return Utilities::DossierApplication() + QStringLiteral("video/animation.avi");
}

bool FrmVideo::estImage(const QString &chemin)
{
    return ExtensionsImages.contains(QFileInfo(chemin).suffix().toLower());
}

void FrmVideo::Form_Load()
{
    m_alias = QString::number(QRandomGenerator::global()->bounded(100)) + QStringLiteral("Aform");
    m_label2->setText(texteDuree(0));
}

void FrmVideo::Form_Activate()
{
    File1_DblClick();
}

void FrmVideo::File1_DblClick()
{
    arreter();
    OpenMe(cheminFilm());
}

std::uint32_t FrmVideo::envoyer(const QString &commande, std::uint32_t resultat)
{
    m_derniereCommande = commande;
    m_resultatCommande = std::int32_t(resultat);
    return resultat;
}

void FrmVideo::arreter()
{
    if (!m_mediaOuvert)
        return;
    m_mediaOuvert = false;
    Platform::LecteurMedia &lecteur = Platform::lecteurMedia();
    envoyer(TexteCommandeMedia::arreter(m_alias), lecteur.arreter(m_alias));
    envoyer(TexteCommandeMedia::fermer(m_alias), lecteur.fermer(m_alias));
    m_label2->setText(texteDuree(0));
}

void FrmVideo::OpenMe(const QString &chemin)
{
    const QFileInfo fichier(chemin);
    m_label1->setText(QStringLiteral("Chargement de ") + fichier.fileName());
    // Painted now without running other events: a touch handled here would stop a film that is
    // not open yet.
    m_label1->repaint();
    if (estImage(chemin)) {
        m_picture1->hide();
        m_affBmp->setPixmap(
            QPixmap(chemin).scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        m_affBmp->show();
        placer();
        return;
    }
    m_affBmp->hide();
    m_picture1->show();
    Platform::LecteurMedia &lecteur = Platform::lecteurMedia();
    const quint64 fenetre = quint64(m_picture1->winId());
    envoyer(TexteCommandeMedia::ouvrir(m_alias, chemin, fenetre),
            lecteur.ouvrir(m_alias, chemin, fenetre));
    const TailleFilm taille = tailleFilm(chemin);
    m_largeur = std::int16_t(taille.largeur);
    m_hauteur = std::int16_t(taille.hauteur);
    if (m_largeur < 2 && m_hauteur < 2) {
        QSize propre;
        envoyer(TexteCommandeMedia::taille(m_alias), lecteur.taille(m_alias, &propre));
        if (propre.isValid()) {
            m_largeur = std::int16_t(propre.width());
            m_hauteur = std::int16_t(propre.height());
        }
    }
    Redimensionne();
    envoyer(TexteCommandeMedia::jouer(m_alias, 0), lecteur.jouer(m_alias, 0));
    m_mediaOuvert = true;
    envoyer(TexteCommandeMedia::son(m_alias, m_son), lecteur.son(m_alias, m_son));
    envoyer(TexteCommandeMedia::tempsEnMillisecondes(m_alias),
            lecteur.tempsEnMillisecondes(m_alias));
    qint64 longueur = 0;
    envoyer(TexteCommandeMedia::duree(m_alias), lecteur.duree(m_alias, &longueur));
    m_dureeMedia =
        std::int32_t(qBound(qint64(0), longueur, qint64(std::numeric_limits<std::int32_t>::max())));
    m_label1->setText(fichier.completeBaseName() + QStringLiteral(" - ") +
                      texteDuree(m_dureeMedia));
}

void FrmVideo::Redimensionne()
{
    if (m_largeur < 2 || m_hauteur < 2)
        return;
    const QRect zone(0, 0, m_largeur, m_hauteur);
    envoyer(TexteCommandeMedia::placer(m_alias, zone),
            Platform::lecteurMedia().placer(m_alias, zone));
    placer();
}

void FrmVideo::Timer1_Timer()
{
    if (m_actions.verifierSauvegarde)
        m_actions.verifierSauvegarde();
    if (!m_mediaOuvert)
        return;
    qint64 pos = 0;
    envoyer(TexteCommandeMedia::position(m_alias),
            Platform::lecteurMedia().position(m_alias, &pos));
    m_label2->setText(texteDuree(std::int32_t(pos)));
    if (m_dureeMedia - MargeFinMs <= pos) {
        Command8_Click();
        if (m_actions.relancerTimerVideo)
            m_actions.relancerTimerVideo();
    }
}

void FrmVideo::CmdAnn_Click()
{
    // Not while the film is being opened: the touch would stop a film not open yet.
    if (m_ouverture)
        return;
    arreter();
    State::etat().Langue = QStringLiteral("FR");
    if (m_actions.arreterVideo)
        m_actions.arreterVideo();
    hide();
}

void FrmVideo::Command8_Click()
{
    if (m_ouverture)
        return;
    arreter();
    State::etat().Langue = QStringLiteral("EN");
    if (m_actions.arreterVideo)
        m_actions.arreterVideo();
}

bool FrmVideo::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QDialog::eventFilter(watched, event);
    auto *cle = static_cast<QKeyEvent *>(event);
    if (event->type() == QEvent::KeyPress && cle->key() == Qt::Key_F) {
        executer(Demande::Fin);
        return true;
    }
    if (event->type() == QEvent::KeyRelease && cle->key() == Qt::Key_F12) {
        if (!cle->isAutoRepeat())
            executer(Demande::Remplissage);
        return true;
    }
    // Escape would close the dialog behind the home screen's back.
    return cle->key() == Qt::Key_Escape;
}

void FrmVideo::executer(Demande demande)
{
    if (m_ouverture) {
        // The end of the program comes before the refill screen.
        if (m_demandeDifferee != Demande::Fin)
            m_demandeDifferee = demande;
        return;
    }
    arreter();
    if (demande == Demande::Fin) {
        if (m_actions.terminer)
            m_actions.terminer();
    } else if (demande == Demande::Remplissage) {
        if (m_actions.ouvrirRemplissage)
            m_actions.ouvrirRemplissage();
        hide();
    }
}

void FrmVideo::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_ouverture = true;
    m_demandeDifferee = Demande::Aucune;
    Form_Activate();
    m_ouverture = false;
    // Hidden while it opened: no film plays behind what came in front.
    if (!isVisible()) {
        arreter();
        return;
    }
    if (const Demande d = std::exchange(m_demandeDifferee, Demande::Aucune); d != Demande::Aucune) {
        executer(d);
        return;
    }
    m_timer1->start();
}

void FrmVideo::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    m_timer1->stop();
    // Between showings the device is closed.
    arreter();
}

void FrmVideo::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placer();
}

void FrmVideo::placer()
{
    const QRect zone = rect();
    const int marge = 24;
    m_label1->setGeometry(marge, 8, zone.width() / 2, 24);
    m_label2->setGeometry(zone.width() - 140, 8, 120, 24);
    // The film at its own size in the middle; the buttons over its lower part.
    const QSize film = m_largeur >= 2 && m_hauteur >= 2 ? QSize(m_largeur, m_hauteur)
                                                        : QSize(zone.width(), zone.height() - 200);
    m_picture1->setGeometry(QRect(QPoint(0, 0), film)
                                .translated((zone.width() - film.width()) / 2,
                                            qMax(40, (zone.height() - film.height()) / 2 - 60)));
    m_affBmp->setGeometry(zone.adjusted(0, 40, 0, -200));
    const int largeurBouton = qMax(m_cmdAnn->sizeHint().width(), 300);
    const int hauteurBouton = qMax(m_cmdAnn->sizeHint().height(), 110);
    const int y = zone.height() - hauteurBouton - 50;
    m_cmdAnn->setGeometry(zone.width() / 2 - largeurBouton - 30, y, largeurBouton, hauteurBouton);
    m_command8->setGeometry(zone.width() / 2 + 30, y, largeurBouton, hauteurBouton);
    m_invitation->setGeometry(0, y - 80, zone.width(), 60);
    for (QWidget *w : {static_cast<QWidget *>(m_invitation), static_cast<QWidget *>(m_cmdAnn),
                       static_cast<QWidget *>(m_command8)})
        w->raise();
}

} // namespace Movendi::Media
