#include "sale/frmpayment.h"

#include "sale/postevente.h"
#include "sale/vente.h"

#include "i18n/constmessage.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "payment/pontagetpvnew.h"
#include "platform/clock.h"
#include "platform/seams.h"
#include "screens/fullscreenkeeper.h"
#include "screens/kioskstyle.h"
#include "screens/navigation.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace Movendi::Sale {

using State::etat;

namespace {

// The line while a card is awaited and while items are delivered, and the close button as it
// blinks.
const QColor Cyan(0, 255, 255);
const QColor BoutonFermetureOlive(192, 192, 0);
const QColor BoutonFermetureClair(255, 255, 128);

void traiterEvenements()
{
    Platform::clock().processEventsFor(0);
}

// The hand pointing down at the door, alternated with the level picture during a delivery.
QPixmap imagePrenez()
{
    QPixmap image(220, 220);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0, 128, 128));
    p.setPen(Qt::NoPen);
    p.drawRect(80, 10, 60, 110);
    p.drawPolygon(QPolygon({QPoint(30, 110), QPoint(190, 110), QPoint(110, 210)}));
    return image;
}

} // namespace

// The terminal's customer display during a payment: the panel replaces the prompt.
class AffichagePanneau final : public Payment::AffichageClient
{
public:
    explicit AffichagePanneau(FrmPayment &ecran) : m_ecran(ecran) {}
    void montrer() override
    {
        m_ecran.LabelChoisisser()->hide();
        m_ecran.PanelAnnulation()->show();
        m_ecran.rafraichir();
    }
    void afficher(const QString &lignes) override
    {
        m_ecran.PanelAnnulation()->setText(lignes);
        m_ecran.rafraichir();
    }
    void cacher() override
    {
        m_ecran.PanelAnnulation()->hide();
        m_ecran.LabelChoisisser()->show();
        m_ecran.rafraichir();
    }

private:
    FrmPayment &m_ecran;
};

FrmPayment::FrmPayment(PosteVente &poste, QWidget *parent)
    : QWidget(parent), m_poste(poste), m_affichage(std::make_unique<AffichagePanneau>(*this))
{
    namespace KioskStyle = Screens::KioskStyle;
    setObjectName(QStringLiteral("FrmPayment"));
    setWindowTitle(QStringLiteral("Paiement"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setStyleSheet(KioskStyle::feuille());

    m_labelChoisisser = KioskStyle::titre(QStringLiteral("LabelChoisisser"), this);
    m_labelChoisisser->setAlignment(Qt::AlignCenter);
    m_labelChoisisser->setWordWrap(true);
    m_montant = KioskStyle::prix(QStringLiteral("Montant"), this);
    m_montant->setAlignment(Qt::AlignCenter);
    m_panelAnnulation = KioskStyle::titre(QStringLiteral("PanelAnnulation"), this);
    m_panelAnnulation->setAlignment(Qt::AlignCenter);
    m_panelAnnulation->setMinimumHeight(160);
    m_panelAnnulation->hide();
    m_monnaieDispo = KioskStyle::alerte(QStringLiteral("MonnaieDispo"), QString(), this);
    m_monnaieDispo->hide();
    m_picture1 = new QLabel(this);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setAlignment(Qt::AlignCenter);
    m_picture1->hide();
    m_picture2 = new QLabel(this);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setAlignment(Qt::AlignCenter);
    m_picture2->setPixmap(imagePrenez());
    m_picture2->hide();
    m_commandButtonAnnulation =
        KioskStyle::bouton(QStringLiteral("CommandButtonAnnulation"), QStringLiteral("Annuler"),
                           QStringLiteral("annuler"), this);
    m_cmdTicketFermPorte = KioskStyle::bouton(QStringLiteral("CmdTicketFermPorte"),
                                              QStringLiteral("J'ai pris mon article"),
                                              QStringLiteral("valider"), this);
    m_cmdTicketFermPorte->hide();
    connect(m_commandButtonAnnulation, &QPushButton::clicked, this,
            &FrmPayment::CommandButtonAnnulation_Click);
    connect(m_cmdTicketFermPorte, &QPushButton::clicked, this,
            [this] { FermetureDemandee = true; });

    auto *images = new QHBoxLayout;
    images->addStretch(1);
    images->addWidget(m_picture1);
    images->addWidget(m_picture2);
    images->addStretch(1);
    auto *boutons = new QHBoxLayout;
    boutons->addStretch(1);
    boutons->addWidget(m_commandButtonAnnulation);
    boutons->addWidget(m_cmdTicketFermPorte);
    boutons->addStretch(1);
    auto *racine = new QVBoxLayout(this);
    racine->setContentsMargins(48, 36, 48, 36);
    racine->setSpacing(24);
    racine->addWidget(KioskStyle::bandeau(this));
    racine->addStretch(1);
    racine->addWidget(m_labelChoisisser);
    racine->addWidget(m_panelAnnulation);
    racine->addWidget(m_montant);
    racine->addLayout(images);
    racine->addWidget(m_monnaieDispo);
    racine->addStretch(1);
    racine->addLayout(boutons);

    Payment::LiaisonTerminal &terminal = m_poste.terminal();
    terminal.installerAffichages(m_affichage.get(), terminal.affichageAccueil());
}

FrmPayment::~FrmPayment()
{
    m_vente.reset();
    Payment::LiaisonTerminal &terminal = m_poste.terminal();
    if (terminal.affichagePaiement() == m_affichage.get())
        terminal.installerAffichages(nullptr, terminal.affichageAccueil());
}

void FrmPayment::Form_Load()
{
    m_labelChoisisser->setText(etat().Messages.MsgModePaiement);
}

void FrmPayment::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Once per showing, and never inside a payment already running (a card wait goes on
    // behind the home screen after a cancel).
    if (m_vente || m_activationPrevue)
        return;
    m_activationPrevue = true;
    QTimer::singleShot(0, this, [this] {
        m_activationPrevue = false;
        if (isVisible() && !m_vente)
            Form_Activate();
    });
}

void FrmPayment::preparerVente(const Panier &panier)
{
    m_panierPrepare = panier;
}

void FrmPayment::Form_Activate()
{
    if (!m_panierPrepare) {
        Journal::JournaliserErreur(QStringLiteral("Form_Activate FrmPayment"),
                                   QStringLiteral("aucun panier validé"));
        Screens::RetournerAccueil();
        return;
    }
    std::optional<State::GardeVente> garde(std::in_place);
    m_panier = *std::exchange(m_panierPrepare, std::nullopt);
    m_vente = std::make_unique<Vente>(m_poste, affichage(), m_panier);
    const auto fin = qScopeGuard([this, &garde] {
        m_vente.reset();
        garde.reset();
        emit paiementTermine();
    });
    try {
        I18n::ChargerMessages(etat().Langue);
        m_labelChoisisser->setText(etat().Messages.MsgModePaiement);
        m_labelChoisisser->show();
        m_commandButtonAnnulation->show();
        m_panelAnnulation->hide();
        m_montant->hide();
        m_vente->preparer();
        m_montant->setText(m_panier.MontantAPayer.texteMonetaire());
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("Form_Activate FrmPayment"), erreur);
        Screens::RetournerAccueil();
        return;
    }
    m_vente->MakePayment();
}

void FrmPayment::CommandButtonAnnulation_Click()
{
    if (State::Ecrans *e = State::ecrans())
        e->montrerAccueil();
    hide();
}

void FrmPayment::rafraichir()
{
    repaint();
    traiterEvenements();
}

QColor FrmPayment::couleurFond(const QWidget *w)
{
    return w->property("couleurFond").value<QColor>();
}

void FrmPayment::definirCouleurFond(QWidget *w, const QColor &couleur)
{
    w->setProperty("couleurFond", couleur);
    w->setStyleSheet(
        couleur.isValid()
            ? QStringLiteral("background-color: %1; color: #10233f;").arg(couleur.name())
            : QString());
}

void FrmPayment::afficherConsigne(const QString &texte)
{
    m_labelChoisisser->setText(texte);
}

void FrmPayment::mettreEnEvidenceConsigne(bool enEvidence)
{
    if (enEvidence) {
        if (!m_couleurConsigne)
            m_couleurConsigne = couleurFond(m_labelChoisisser);
        definirCouleurFond(m_labelChoisisser, Cyan);
    } else if (m_couleurConsigne) {
        definirCouleurFond(m_labelChoisisser, *m_couleurConsigne);
        m_couleurConsigne.reset();
    }
}

void FrmPayment::afficherInvite(const QString &texte)
{
    m_monnaieDispo->setText(texte);
}

void FrmPayment::montrerInvite(bool visible)
{
    m_monnaieDispo->setVisible(visible);
}

void FrmPayment::montrerMontant(bool visible)
{
    m_montant->setVisible(visible);
}

void FrmPayment::montrerAnnulation(bool visible)
{
    m_commandButtonAnnulation->setVisible(visible);
}

void FrmPayment::afficherPanneau(const QString &texte)
{
    m_panelAnnulation->setText(texte);
    m_panelAnnulation->show();
}

void FrmPayment::cacherPanneau()
{
    m_panelAnnulation->clear();
    m_panelAnnulation->hide();
}

Payment::AffichageClient &FrmPayment::affichageTerminal()
{
    return *m_affichage;
}

void FrmPayment::revenirAuPaiement()
{
    if (!isVisible()) {
        Screens::FullScreenKeeper::showFullScreen(this);
        Screens::MettreAuPremierPlan(this);
    }
}

void FrmPayment::retourAccueil()
{
    if (State::Ecrans *e = State::ecrans()) {
        e->cacherEcransVente();
        e->montrerAccueil();
    }
    hide();
}

void FrmPayment::afficherImageEtage(const QString &chemin)
{
    m_picture1->setPixmap(QPixmap(chemin));
    m_picture1->setVisible(true);
}

void FrmPayment::alternerImages(bool impair)
{
    m_picture2->setVisible(impair);
    m_picture1->setVisible(!impair);
    definirCouleurFond(m_cmdTicketFermPorte, impair ? BoutonFermetureOlive : BoutonFermetureClair);
}

void FrmPayment::cacherImages()
{
    m_picture2->setVisible(false);
    m_picture1->setVisible(false);
}

void FrmPayment::montrerBoutonFermeture(bool visible)
{
    m_cmdTicketFermPorte->setVisible(visible);
    if (!visible)
        definirCouleurFond(m_cmdTicketFermPorte, BoutonFermetureOlive);
}

} // namespace Movendi::Sale
