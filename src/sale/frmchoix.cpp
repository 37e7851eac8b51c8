#include "sale/frmchoix.h"

#include "config/clesconfiguration.h"
#include "config/fnkestrel.h"
#include "i18n/constmessage.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/filelookup.h"
#include "platform/rtfreader.h"
#include "sale/enregistrement.h"
#include "sale/etatvente.h"
#include "sale/frmpayment.h"
#include "sale/prixvente.h"
#include "screens/fullscreenkeeper.h"
#include "screens/kioskstyle.h"
#include "screens/navigation.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"
#include "store/conversions.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

namespace Movendi::Sale {

using Money::Monnaie;
using State::etat;
using Store::StoreDatabase;
namespace KioskStyle = Screens::KioskStyle;

namespace {
// 6240 twips at 15 twips a pixel.
constexpr int HauteurImage = 416;
const QString noir = QStringLiteral("color:#10233f;");
const QString rouge = QStringLiteral("color:#ff0000;");
} // namespace

FrmChoix::FrmChoix(FrmPayment *paiement, QWidget *parent) : QWidget(parent), m_paiement(paiement)
{
    setObjectName(QStringLiteral("FrmChoix"));
    setWindowTitle(QStringLiteral("Choix du produit"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setStyleSheet(KioskStyle::feuille());

    m_panel3 = new QFrame(this);
    m_panel3->setObjectName(QStringLiteral("SSPanel3"));
    m_panel3->setProperty("role", QStringLiteral("carte"));
    m_image1 = new QLabel(m_panel3);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setAlignment(Qt::AlignCenter);
    auto *panelLayout = new QVBoxLayout(m_panel3);
    panelLayout->addWidget(m_image1, 0, Qt::AlignCenter);
    m_panel3->setVisible(false);

    m_label2 = KioskStyle::titre(QStringLiteral("Label2"), this);
    m_label2->setWordWrap(true);
    m_label3 = KioskStyle::prix(QStringLiteral("Label3"), this);
    m_richTextBox1 = new QTextBrowser(this);
    m_richTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    m_richTextBox1->setFrameShape(QFrame::NoFrame);
    m_label1 =
        KioskStyle::alerte(QStringLiteral("Label1"), QStringLiteral("ARTICLE INDISPONIBLE"), this);
    m_label1->setVisible(false);
    m_command1 = KioskStyle::bouton(QStringLiteral("Command1"), QString(),
                                    QStringLiteral("secondaire"), this);
    m_command2 = KioskStyle::bouton(QStringLiteral("Command2"), QString(),
                                    QStringLiteral("secondaire"), this);
    m_cmdAnn = KioskStyle::bouton(QStringLiteral("CmdAnn"), QStringLiteral("Annuler"),
                                  QStringLiteral("annuler"), this);
    m_cmdVal = KioskStyle::bouton(QStringLiteral("CmdVal"), QStringLiteral("Valider"),
                                  QStringLiteral("valider"), this);

    auto *droite = new QVBoxLayout;
    droite->setSpacing(18);
    droite->addWidget(m_label2);
    droite->addWidget(m_label3);
    droite->addWidget(m_richTextBox1, 1);
    droite->addWidget(m_label1);
    droite->addWidget(m_command1);
    droite->addWidget(m_command2);
    auto *haut = new QHBoxLayout;
    haut->setSpacing(40);
    haut->addWidget(m_panel3, 0, Qt::AlignTop);
    haut->addLayout(droite, 1);
    auto *bas = new QHBoxLayout;
    bas->addWidget(m_cmdAnn);
    bas->addStretch(1);
    bas->addWidget(m_cmdVal);
    auto *racine = new QVBoxLayout(this);
    racine->setContentsMargins(48, 40, 48, 40);
    racine->setSpacing(30);
    racine->addWidget(KioskStyle::bandeau(this));
    racine->addLayout(haut, 1);
    racine->addLayout(bas);

    connect(m_command1, &QPushButton::clicked, this, [this] { basculerRecharge(1); });
    connect(m_command2, &QPushButton::clicked, this, [this] { basculerRecharge(2); });
    connect(m_cmdVal, &QPushButton::clicked, this, &FrmChoix::valider);
    connect(m_cmdAnn, &QPushButton::clicked, this, &FrmChoix::annuler);
    Form_Load();
}

FrmChoix::~FrmChoix() = default;

StoreDatabase *FrmChoix::base()
{
    if (!m_base)
        m_base = std::make_unique<StoreDatabase>();
    return m_base.get();
}

void FrmChoix::Form_Load()
{
    try {
        m_panier.InfoSociete = lireInfoSociete(*base());
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("FrmChoix Form_Load"), erreur);
    }
}

void FrmChoix::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Out of the show event: the activation may hide the screen again.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            Form_Activate();
    });
}

void FrmChoix::Form_Activate()
{
    I18n::ChargerMessages(etat().Langue);
    AfficherArticle();
    if (!isVisible())
        return; // the article was unavailable and the kiosk went home
    m_rechargeChoisie = false;
    const auto &msg = etat().Messages;
    m_command1->setText(msg.MsgAjouterRecharge + m_prixRecharges.at(0).texteMonetaire());
    m_command2->setText(msg.MsgAjouterRecharge + m_prixRecharges.at(1).texteMonetaire());
    m_command1->setStyleSheet(noir);
    m_command2->setStyleSheet(noir);
    m_command1->setEnabled(true);
    m_command2->setEnabled(true);
    m_panier.LigneRecharge.ReferenceRecharge = 0;
    m_panier.LigneRecharge.PrixRechargeCentimes = 0;
    m_label1->setVisible(etat().QteChoisie <= 0);
    m_cmdVal->setEnabled(etat().QteChoisie > 0);
}

void FrmChoix::afficherImage(const QString &fichier)
{
    const QPixmap image(fichier);
    if (image.isNull() || image.height() == 0)
        return;
    const int largeur = int(qint64(HauteurImage) * image.width() / image.height());
    m_image1->setPixmap(
        image.scaled(largeur, HauteurImage, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    m_image1->setFixedSize(largeur, HauteurImage);
    m_panel3->setVisible(true);
}

Panier FrmChoix::panier() const
{
    Panier panier = m_panier;
    const State::EtatDemarrage &e = etat();
    panier.ReferenceChoisie = e.ReferenceChoisie;
    panier.QteChoisie = e.QteChoisie;
    panier.MontantAPayer = e.MontantAPayer;
    return panier;
}

void FrmChoix::AfficherArticle()
{
    Panier &vente = m_panier;
    State::EtatDemarrage &e = etat();
    bool recharge = false;
    for (int i = 0; i < 5; ++i) {
        m_rechargesProposees[i] =
            Config::lireCleEntiere(e.CheminIni, QStringLiteral("Recharges"),
                                   QStringLiteral("Reference Prix %1").arg(i + 1));
        recharge = recharge || m_rechargesProposees[i] == e.ReferenceChoisie;
    }
    m_command1->setVisible(!recharge);
    m_command2->setVisible(!recharge);

    try {
        const auto article = base()->lire(
            QStringLiteral("SELECT Reference, Designation, DesignationEN, prix, QteEnMachine, "
                           "Image FROM StockGlobal WHERE Reference = ?"),
            {e.ReferenceChoisie});
        if (article.estVide()) {
            m_label2->clear();
            m_image1->clear();
        } else {
            const std::optional<Monnaie> prix =
                prixVendable(article.valeur(0, QStringLiteral("prix")));
            vente.PrixArticle = prix.value_or(Monnaie());
            vente.DesignationArticle = Store::ConvertNullStr(article.valeur(
                0, e.Langue == QLatin1String("FR") ? QStringLiteral("Designation")
                                                   : QStringLiteral("DesignationEN")));
            vente.ReferenceArticle = article.valeur(0, QStringLiteral("Reference")).toInt();
            // An article whose price cannot be charged is not for sale.
            e.QteChoisie = prix ? article.valeur(0, QStringLiteral("QteEnMachine")).toInt() : 0;
            m_label2->setText(vente.DesignationArticle);
            m_label3->setText(prix ? vente.PrixArticle.texteMonetaire() : QString());
            const QString image = Store::ConvertNullStr(article.valeur(0, QStringLiteral("Image")));
            if (Utilities::FichierExiste(e.CheminImages, image + QStringLiteral(".jpg")))
                afficherImage(Utilities::AjouterAntislash(e.CheminImages) + image +
                              QStringLiteral(".jpg"));
            const QString suffixe =
                e.Langue == QLatin1String("FR") ? QStringLiteral(".rtf") : QStringLiteral("EN.rtf");
            QString erreur;
            if (!(e.Langue == QLatin1String("FR") || e.Langue == QLatin1String("EN")) ||
                !Utilities::FichierExiste(e.CheminImages, image + suffixe) ||
                !Platform::loadRtfFile(Platform::resolveFileNoCase(e.CheminImages, image + suffixe),
                                       m_richTextBox1->document(), &erreur))
                m_richTextBox1->clear();
        }
        for (int i = 0; i < 5; ++i) {
            m_prixRecharges[i] = Monnaie();
            if (m_rechargesProposees[i] == 0)
                continue;
            const auto offre =
                base()->lire(QStringLiteral("SELECT prix FROM StockGlobal WHERE Reference = ?"),
                             {m_rechargesProposees[i]});
            if (!offre.estVide())
                m_prixRecharges[i] = prixVendable(offre.lignes.at(0).at(0)).value_or(Monnaie());
        }
        // A top-up without a price that can be charged is not offered.
        m_command1->setVisible(!m_command1->isHidden() && montantVendable(m_prixRecharges[0]));
        m_command2->setVisible(!m_command2->isHidden() && montantVendable(m_prixRecharges[1]));
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("AfficherArticle"), erreur);
        annuler();
        return;
    }

    if (e.QteChoisie > 0) {
        m_label1->setVisible(false);
        return;
    }
    m_label1->setVisible(true);
    m_cmdVal->setEnabled(false);
    m_command1->setEnabled(false);
    m_command2->setEnabled(false);
    repaint();
    Utilities::Attendre(4);
    annuler();
    m_cmdVal->setEnabled(true);
    m_command1->setEnabled(true);
    m_command2->setEnabled(true);
}

void FrmChoix::basculerRecharge(int k)
{
    State::RelancerRetourAutomatique();
    Panier &vente = m_panier;
    const auto &msg = etat().Messages;
    QPushButton *bouton = k == 1 ? m_command1 : m_command2;
    QPushButton *autre = k == 1 ? m_command2 : m_command1;
    const Monnaie prix = m_prixRecharges.at(k - 1);
    if (!m_rechargeChoisie) {
        bouton->setText(msg.MsgRetirerRecharge + prix.texteMonetaire());
        bouton->setStyleSheet(rouge);
        autre->setEnabled(false);
        m_label2->setText(vente.DesignationArticle + QStringLiteral("\r\n") + msg.MsgPlusRecharge +
                          prix.texteMonetaire());
        m_label3->setText((vente.PrixArticle + prix).texteMonetaire());
        etat().MontantAPayer = vente.PrixArticle + prix;
        vente.LigneRecharge.ReferenceRecharge = m_rechargesProposees.at(k - 1);
        vente.LigneRecharge.PrixRechargeCentimes = std::int32_t(prix.centimes());
        m_rechargeChoisie = true;
    } else {
        bouton->setText(msg.MsgAjouterRecharge + prix.texteMonetaire());
        bouton->setStyleSheet(noir);
        autre->setEnabled(true);
        m_label2->setText(vente.DesignationArticle);
        m_label3->setText(vente.PrixArticle.texteMonetaire());
        etat().MontantAPayer = vente.PrixArticle;
        vente.LigneRecharge.ReferenceRecharge = 0;
        vente.LigneRecharge.PrixRechargeCentimes = 0;
        m_rechargeChoisie = false;
    }
    repaint();
}

void FrmChoix::valider()
{
    // A cancelled payment may still wait for its card behind the home screen: one at a time.
    if (!State::ecransStables() || State::venteEnCours())
        return;
    if (!montantVendable(etat().MontantAPayer)) {
        Journal::JournaliserErreur(QStringLiteral("CmdVal"),
                                   QStringLiteral("montant refusé: ") +
                                       etat().MontantAPayer.texteMonetaire());
        annuler();
        return;
    }
    State::RelancerRetourAutomatique();
    m_paiement->preparerVente(panier());
    Screens::FullScreenKeeper::showFullScreen(m_paiement);
    Screens::MettreAuPremierPlan(m_paiement);
    hide();
}

void FrmChoix::annuler()
{
    if (!State::ecransStables())
        return;
    State::RelancerRetourAutomatique();
    if (State::ecrans())
        State::ecrans()->montrerAccueil();
    hide();
}

} // namespace Movendi::Sale
