#include "sale/frmpayment.h"

#include "sale/distribution.h"
#include "sale/enregistrement.h"
#include "sale/etatvente.h"
#include "sale/prixvente.h"

#include "config/fnkestrel.h"
#include "i18n/constmessage.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "payment/pontagetpvnew.h"
#include "payment/resultatstpe.h"
#include "platform/clock.h"
#include "platform/pointarret.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "reporting/synchrserv.h"
#include "screens/fullscreenkeeper.h"
#include "screens/kioskstyle.h"
#include "screens/navigation.h"
#include "state/disponibilite.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>

namespace Movendi::Sale {

using Startup::etat;
namespace Resultat = Payment::Resultat;

namespace {

constexpr qint64 AttenteCarteMs = 60000;
const QColor Cyan(0, 255, 255);
// The delivery line while items are delivered, and the close button as it blinks.
const QColor &CouleurLivraison = Cyan;
const QColor BoutonFermetureOlive(192, 192, 0);
const QColor BoutonFermetureClair(255, 255, 128);
const QString RetirezCarte = QStringLiteral("RETIREZ VOTRE CARTE BANCAIRE");

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

FrmPayment::FrmPayment(Payment::LiaisonTerminal &terminal, QWidget *parent)
    : QWidget(parent), m_terminal(terminal), m_affichage(std::make_unique<AffichagePanneau>(*this)),
      m_surveillance(std::make_unique<SurveillanceMagasin>(*this))
{
    namespace KioskStyle = Startup::KioskStyle;
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

    m_terminal.installerAffichages(m_affichage.get(), m_terminal.affichageAccueil());
}

FrmPayment::~FrmPayment()
{
    if (m_terminal.affichagePaiement() == m_affichage.get())
        m_terminal.installerAffichages(nullptr, m_terminal.affichageAccueil());
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
    if (m_enCours || m_activationPrevue)
        return;
    m_activationPrevue = true;
    QTimer::singleShot(0, this, [this] {
        m_activationPrevue = false;
        if (isVisible() && !m_enCours)
            Form_Activate();
    });
}

void FrmPayment::Form_Activate()
{
    m_enCours = true;
    std::optional<Startup::GardeVente> garde(std::in_place);
    m_panier = panierCourant();
    const auto fin = qScopeGuard([this, &garde] {
        m_enCours = false;
        garde.reset();
        emit paiementTermine();
    });
    try {
        Startup::ChargerMessages(etat().Langue);
        m_labelChoisisser->setText(etat().Messages.MsgModePaiement);
        m_labelChoisisser->show();
        m_commandButtonAnnulation->show();
        m_panelAnnulation->hide();
        m_montant->hide();
        base();
        m_montant->setText(etat().MontantAPayer.texteMonetaire());
    } catch (const Startup::ErreurExecution &erreur) {
        Startup::SignalerErreur(QStringLiteral("Form_Activate FrmPayment"), erreur);
        Startup::RetournerAccueil();
        return;
    }
    MakePayment();
}

void FrmPayment::MakePayment()
{
    try {
        // Nothing of the previous sale may be printed or recorded with this one.
        EtatVente &vente = etatVente();
        vente.EchecDistribution = false;
        vente.ArticleServi = ArticleDistribue{};
        vente.RechargeServie = ArticleDistribue{};
        vente.ResultatDebit.reset();
        m_terminal.etat().reinitialiserTransaction();
        m_montant->show();
        m_journalImpossible = false;
        if (!montantVendable(m_panier.MontantAPayer)) {
            // Refused before the terminal is asked anything.
            Startup::JournaliserErreur(QStringLiteral("make payment"),
                                       QStringLiteral("montant refusé: ") +
                                           m_panier.MontantAPayer.texteMonetaire());
        } else if (Payer()) {
            // What is delivered and debited is what was authorised.
            retablirPanier(m_panier);
            MiseAJourStock(*this);
            EnregistrerCommande(*this);
            if (Startup::disponibilite().disponible())
                Reporting::TransferFTP();
        } else if (m_journalImpossible) {
            Startup::JournaliserErreur(QStringLiteral("make payment"),
                                       QStringLiteral("vente annulée: journal de vente "
                                                      "impossible à écrire, rien livré ni débité"));
        } else {
            Startup::JournaliserErreur(QStringLiteral("make payment"),
                                       QStringLiteral("sortie par payer=faux"));
        }
        if (Startup::Ecrans *e = Startup::ecrans()) {
            e->cacherEcransVente();
            e->montrerAccueil();
        }
        hide();
    } catch (const Startup::ErreurExecution &erreur) {
        Startup::SignalerErreur(QStringLiteral("MakePayment"), erreur);
    } catch (const std::exception &erreur) {
        Startup::SignalerErreur(QStringLiteral("MakePayment"),
                                Startup::ErreurExecution(Startup::Erreurs::ErreurInterne,
                                                         QString::fromLocal8Bit(erreur.what())));
    }
}

bool FrmPayment::attendreCarte(const QColor &origine, const std::function<bool()> &poll)
{
    const qint64 debut = Platform::clock().monotonicMs();
    bool cyan = false;
    for (;;) {
        traiterEvenements();
        definirCouleurFond(m_labelChoisisser, cyan ? Cyan : origine);
        cyan = !cyan;
        m_labelChoisisser->repaint();
        traiterEvenements();
        if (Platform::clock().monotonicMs() - debut > AttenteCarteMs || m_abandonAttente)
            return false;
        if (poll())
            return true;
    }
}

bool FrmPayment::abandonnerAttenteCarte()
{
    if (!m_attenteCarte)
        return false;
    m_abandonAttente = true;
    return true;
}

bool FrmPayment::Payer()
{
    Startup::ArreterRetourAutomatique();
    if (Startup::Ecrans *e = Startup::ecrans())
        e->arreterAnimation();
    m_terminal.installerAffichages(m_affichage.get(), m_terminal.affichageAccueil());

    const QColor origine = couleurFond(m_labelChoisisser);
    m_labelChoisisser->setText(etat().Messages.MsgInsererCarte);
    m_terminal.etat().PaymentAmountCents = etat().MontantAPayer.centimes();

    m_attenteCarte = true;
    m_abandonAttente = false;
    const bool carte =
        attendreCarte(origine, [this] { return m_terminal.DemSwi() == Resultat::Ok; });
    m_attenteCarte = false;
    m_abandonAttente = false;
    definirCouleurFond(m_labelChoisisser, origine);
    if (!carte) {
        Startup::RelancerRetourAutomatique();
        return false;
    }
    // A card inserted after a cancel: the customer follows the payment on its screen again.
    if (!isVisible()) {
        Startup::FullScreenKeeper::showFullScreen(this);
        Startup::MettreAuPremierPlan(this);
    }

    m_labelChoisisser->setText(etat().Messages.MsgPatientez);
    m_commandButtonAnnulation->hide();
    rafraichir();
    Startup::AttendreInterruptible(0.3);

    bool autorise = false;
    for (int essai = 0; essai < 3; ++essai) {
        Startup::Attendre(0.2);
        Platform::pointArret("terminal: solvabilité");
        const int resultat = m_terminal.DemVal(true);
        autorise = resultat == Resultat::Ok;
        if (resultat != Resultat::SolvabiliteSansLigne &&
            resultat != Resultat::SolvabiliteIndisponible)
            break;
    }
    // From here a kill must not lose the sale: the journal knows the authorised basket. A
    // sale the store cannot journal goes no further: nothing delivered, nothing debited.
    if (autorise) {
        try {
            m_journalImpossible = !m_journalVente.ouvrir(
                base(), m_panier, m_terminal.etat().PaymentAmountCents, etat().Langue);
        } catch (const Startup::ErreurExecution &erreur) {
            Startup::SignalerErreur(QStringLiteral("JournalVente"), erreur);
            m_journalImpossible = true;
        }
        if (m_journalImpossible) {
            autorise = false;
            m_labelChoisisser->setText(etat().Messages.MsgEnPanne);
            m_monnaieDispo->setText(etat().Messages.MsgDebitNonEffectue);
            m_monnaieDispo->show();
            rafraichir();
            magasinEnPanne(QStringLiteral("journal de vente impossible à ouvrir"));
        }
    }
    AttendreRetraitCarte();
    m_monnaieDispo->hide();
    Startup::RelancerRetourAutomatique();
    return autorise;
}

void FrmPayment::AttendreRetraitCarte()
{
    const QColor origine = couleurFond(m_labelChoisisser);
    m_labelChoisisser->setText(RetirezCarte);
    m_panelAnnulation->setText(RetirezCarte);
    m_panelAnnulation->show();
    rafraichir();
    attendreCarte(origine, [this] { return m_terminal.DemSwi() == Resultat::SansCarte; });
    definirCouleurFond(m_labelChoisisser, origine);
    m_panelAnnulation->clear();
    m_panelAnnulation->hide();
}

int FrmPayment::DebiterMontant()
{
    // Never sent twice for one sale: the journal says it went before it goes. A journal the
    // store refused sends nothing now: the sale is settled once the store takes it.
    if (m_journalVente.ouvert() &&
        !m_journalVente.debitVaPartir(base(), m_terminal.etat().PaymentAmountCents)) {
        etatVente().ResultatDebit.reset();
        return DebitNonEnvoye;
    }
    int resultat = Resultat::DebitSansLigne;
    for (int essai = 0; essai < 3; ++essai) {
        Startup::Attendre(0.2);
        Platform::pointArret("terminal: débit");
        resultat = m_terminal.DemEnr(true);
        if (resultat != Resultat::DebitSansLigne && resultat != Resultat::DebitIndisponible)
            break;
    }
    etatVente().ResultatDebit = resultat;
    if (m_journalVente.ouvert())
        m_journalVente.debitRepondu(base(), resultat, m_terminal.etat());
    return resultat;
}

void FrmPayment::CommandButtonAnnulation_Click()
{
    if (Startup::Ecrans *e = Startup::ecrans())
        e->montrerAccueil();
    hide();
}

Startup::StoreDatabase &FrmPayment::base()
{
    if (!m_base)
        m_base = std::make_unique<Startup::StoreDatabase>();
    return *m_base;
}

void FrmPayment::magasinEnPanne(const QString &raison)
{
    m_surveillance->signalerEchec(raison);
}

void FrmPayment::fermerBase()
{
    m_base.reset();
}

Platform::SerialLine &FrmPayment::ligneImprimante()
{
    if (!m_imprimante)
        m_imprimante = Platform::serialLines().create(etat().CheminIni);
    return *m_imprimante;
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

void FrmPayment::afficherLigneArticles(const QString &texte)
{
    m_labelChoisisser->setText(texte);
}

void FrmPayment::mettreEnEvidenceLigneArticles(bool enEvidence)
{
    if (enEvidence) {
        if (!m_couleurLigneArticles)
            m_couleurLigneArticles = couleurFond(m_labelChoisisser);
        definirCouleurFond(m_labelChoisisser, CouleurLivraison);
    } else if (m_couleurLigneArticles) {
        definirCouleurFond(m_labelChoisisser, *m_couleurLigneArticles);
        m_couleurLigneArticles.reset();
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

void FrmPayment::cacherMontant()
{
    m_montant->setVisible(false);
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
