#include "stock/frmremplissage.h"

#include "config/fnkestrel.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "machine/automate.h"
#include "machine/machinecontrol.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/kiosktimer.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "screens/kioskstyle.h"
#include "screens/navigation.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"
#include "stock/inventaire.h"
#include "stock/listeimei.h"
#include "store/conversions.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace Movendi::Stock {

using Journal::ErreurExecution;

namespace {

constexpr int IntervalleTimer1Ms = 600;
// Every 4 minutes the home screen's automatic return is counted again from zero.
constexpr std::int16_t TopsRelance = 400;
// A text that reads as a number, as the field's numeric test takes it: sign, digits, one
// decimal separator (comma or point), surrounding blanks.
std::optional<double> nombreSaisi(const QString &texte)
{
    const QString t = texte.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    double v = QLocale(QLocale::French).toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QLabel *etiquette(const QString &nom, const QString &texte, QWidget *parent)
{
    auto *label = new QLabel(texte, parent);
    label->setObjectName(nom);
    return label;
}

} // namespace

FrmRemplissage::FrmRemplissage(Platform::SerialLine *ligneImprimante, QWidget *parent)
    : QWidget(parent), m_remplissage(*this, ligneImprimante)
{
    setObjectName(QStringLiteral("FrmRemplissage"));
    setWindowTitle(QStringLiteral("remplissage"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setStyleSheet(Screens::KioskStyle::feuille() +
                  QStringLiteral(
                      "#FrmRemplissage QLineEdit, #FrmRemplissage QListWidget {"
                      " font-family: monospace; font-size: 20pt; }"
                      "#TextCodBar { font-size: 30pt; padding: 8px; }"
                      "#AfficheurLCD { font-family: monospace; background: #9bbc0f; color: #0f380f;"
                      " font-size: 26pt; padding: 10px; border: 4px solid #306230; }"
                      "#LabelDispo { font-size: 22pt; color: #b00020; }"
                      ".touches { font-size: 18pt; font-weight: bold; }"));
    const QFont fixe = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Screens::KioskStyle::bandeau(this));

    auto *touches = new QHBoxLayout;
    for (const auto &[nom, texte] :
         {std::pair{"Label1", "F4 = Fin"}, std::pair{"Label2", "F9 = Déstockage"},
          std::pair{"Label3", "F11 = Impréssion inventaire"}}) {
        QLabel *l = etiquette(QString::fromLatin1(nom), QString::fromUtf8(texte), this);
        l->setProperty("class", QStringLiteral("touches"));
        touches->addWidget(l);
    }
    layout->addLayout(touches);

    m_labelDispo =
        etiquette(QStringLiteral("LabelDispo"), QStringLiteral("Momentanément indisponible"), this);
    m_labelDispo->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_labelDispo);

    auto *saisie = new QGridLayout;
    m_textCodBar = new QLineEdit(this);
    m_textCodBar->setObjectName(QStringLiteral("TextCodBar"));
    m_textCodBar->setFont(fixe);
    saisie->addWidget(etiquette(QStringLiteral("LabelCode"), QStringLiteral("Code scanné"), this),
                      0, 0);
    saisie->addWidget(m_textCodBar, 0, 1);
    m_ecranLCD = etiquette(QStringLiteral("AfficheurLCD"), QString(), this);
    m_ecranLCD->setFont(fixe);
    m_ecranLCD->setText(QString(20, QLatin1Char(' ')) + QLatin1Char('\n') +
                        QString(20, QLatin1Char(' ')));
    saisie->addWidget(etiquette(QStringLiteral("LabelLCD"), QStringLiteral("Afficheur"), this), 1,
                      0);
    saisie->addWidget(m_ecranLCD, 1, 1, Qt::AlignLeft);
    m_text2 = new QLineEdit(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setFont(fixe);
    m_text2->setReadOnly(true);
    m_text2->setFocusPolicy(Qt::NoFocus);
    saisie->addWidget(m_text2, 2, 1);
    layout->addLayout(saisie);

    m_command1 =
        Screens::KioskStyle::bouton(QStringLiteral("Command1"), QStringLiteral("Fermer Porte"),
                                    QStringLiteral("valider"), this);
    m_command1->setFocusPolicy(Qt::NoFocus);
    m_command1->setVisible(false);
    connect(m_command1, &QPushButton::clicked, this, &FrmRemplissage::Command1_Click);
    layout->addWidget(m_command1);

    auto *contenu = new QHBoxLayout;
    m_list1 = new QListWidget(this);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setFont(fixe);
    m_list1->setFocusPolicy(Qt::NoFocus);
    m_list1->setVisible(false);
    contenu->addWidget(m_list1, 1);
    m_spinButton1 = new QWidget(this);
    m_spinButton1->setObjectName(QStringLiteral("SpinButton1"));
    auto *spin = new QVBoxLayout(m_spinButton1);
    QPushButton *monter = Screens::KioskStyle::bouton(QStringLiteral("SpinUp"), QStringLiteral("▲"),
                                                      QStringLiteral("secondaire"), this);
    QPushButton *descendre = Screens::KioskStyle::bouton(
        QStringLiteral("SpinDown"), QStringLiteral("▼"), QStringLiteral("secondaire"), this);
    for (QPushButton *b : {monter, descendre}) {
        b->setFocusPolicy(Qt::NoFocus);
        spin->addWidget(b);
    }
    connect(monter, &QPushButton::clicked, this, &FrmRemplissage::SpinButton1_SpinUp);
    connect(descendre, &QPushButton::clicked, this, &FrmRemplissage::SpinButton1_SpinDown);
    m_spinButton1->setVisible(false);
    contenu->addWidget(m_spinButton1);
    layout->addLayout(contenu, 1);

    m_timer1 = new Platform::KioskTimer(this);
    m_timer1->setInterval(IntervalleTimer1Ms);
    connect(m_timer1, &Platform::KioskTimer::timeout, this, &FrmRemplissage::Timer1_Timer);

    // Key releases are seen by the screen before the focused field.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
    Form_Load();
}

FrmRemplissage::~FrmRemplissage()
{
    Form_Unload();
}

void FrmRemplissage::Form_Load()
{
    m_demandeFin = false;
    m_compteurTops = 0;
    m_garde = std::make_unique<State::GardeRemplissage>();
    State::ArreterRetourAutomatique();
    if (State::Ecrans *e = State::ecrans()) {
        e->arreterAnimation();
        if (QWidget *accueil = e->accueil())
            accueil->hide();
    }
    m_timer1->start();
}

void FrmRemplissage::Form_Activate()
{
    try {
        m_labelDispo->setText(QStringLiteral("Momentanément indisponible\nTemporary unavailable"));
        m_textCodBar->setFocus();
        if (State::Ecrans *e = State::ecrans()) {
            if (QWidget *accueil = e->accueil())
                accueil->hide();
            e->arreterAnimation();
        }
        m_demandeFin = false;
        OuvrirTables();
    } catch (const ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("frmremplissage FormActivate"), erreur);
    }
}

void FrmRemplissage::Form_Unload()
{
    if (m_decharge)
        return;
    m_decharge = true;
    m_garde.reset();
    m_timer1->stop();
    if (State::Ecrans *e = State::ecrans())
        e->relancerAnimation();
    m_remplissage.fermerTables();
}

void FrmRemplissage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_activation.montre();
}

void FrmRemplissage::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_activation.cache();
}

void FrmRemplissage::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    m_activation.changement(*this, *event);
}

void FrmRemplissage::OuvrirTables()
{
    m_remplissage.OuvrirTables();
}

void FrmRemplissage::LectureDouchette()
{
    m_remplissage.LectureDouchette(m_textCodBar->text());
}

void FrmRemplissage::RemplissageMachineTELE(const QString &code)
{
    m_remplissage.RemplissageMachineTELE(code);
}

void FrmRemplissage::RemplissageMachineRECHA(const QString &code)
{
    m_remplissage.RemplissageMachineRECHA(code);
}

void FrmRemplissage::AffichezMessage(const QString &ligne1, const QString &ligne2)
{
    m_remplissage.AffichezMessage(ligne1, ligne2);
}

void FrmRemplissage::ImprimerContenueEmplacements()
{
    m_remplissage.ImprimerContenueEmplacements();
}

void FrmRemplissage::Destockage(std::int32_t reference)
{
    m_remplissage.Destockage(reference);
}

void FrmRemplissage::Command1_Click()
{
    m_remplissage.Command1_Click();
}

void FrmRemplissage::montrerBoutonFermeture(bool visible)
{
    m_command1->setVisible(visible);
}

void FrmRemplissage::afficherTexteLCD(const QString &texte)
{
    m_text2->setText(texte);
}

void FrmRemplissage::afficherPanneauLCD(const QString &texte)
{
    const QString t = texte.leftJustified(40, QLatin1Char(' '));
    m_ecranLCD->setText(t.left(20) + QLatin1Char('\n') + t.mid(20, 20));
}

void FrmRemplissage::commencerListeContenu()
{
    m_list1->clear();
    m_list1->setVisible(true);
    m_spinButton1->setVisible(true);
}

void FrmRemplissage::ajouterLignesContenu(const QStringList &lignes)
{
    m_list1->addItems(lignes);
}

void FrmRemplissage::viderChampCode()
{
    m_textCodBar->clear();
    m_textCodBar->setFocus();
}

void FrmRemplissage::SpinButton1_SpinDown()
{
    const int suivante = m_list1->currentRow() + 1;
    if (suivante < m_list1->count())
        m_list1->setCurrentRow(suivante);
}

void FrmRemplissage::SpinButton1_SpinUp()
{
    const int precedente = m_list1->currentRow() - 1;
    if (precedente >= 0)
        m_list1->setCurrentRow(precedente);
}

void FrmRemplissage::Timer1_Timer()
{
    if (m_demandeFin) {
        m_compteurTops = 0;
        State::RelancerRetourAutomatique();
        // Unloads this screen (deleted once back in the event loop) and shows the home screen.
        Screens::RetournerAccueil();
        return;
    }
    if (++m_compteurTops >= TopsRelance) {
        m_compteurTops = 0;
        State::RelancerRetourAutomatique();
    }
}

bool FrmRemplissage::toucheRelachee(int touche)
{
    switch (touche) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        LectureDouchette();
        return true;
    case Qt::Key_F4:
        m_demandeFin = true;
        return true;
    case Qt::Key_F9:
        if (const std::optional<double> n = nombreSaisi(m_textCodBar->text())) {
            // Rounded half to even, as whole-number conversion does.
            const double arrondi = std::nearbyint(*n);
            if (arrondi < std::numeric_limits<std::int32_t>::min() ||
                arrondi > std::numeric_limits<std::int32_t>::max())
                Journal::SignalerErreur(QStringLiteral("Destockage"),
                                        Journal::Erreurs::depassement());
            else
                Destockage(std::int32_t(arrondi));
        }
        return true;
    case Qt::Key_F11:
        ImprimerContenueEmplacements();
        return true;
    default:
        return false;
    }
}

bool FrmRemplissage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease) {
        auto *cle = static_cast<QKeyEvent *>(event);
        if (!cle->isAutoRepeat() && toucheRelachee(cle->key()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FrmRemplissage::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat() || !toucheRelachee(event->key()))
        QWidget::keyReleaseEvent(event);
}

} // namespace Movendi::Stock
