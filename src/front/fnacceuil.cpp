#include "front/fnacceuil.h"

#include "config/badgespersonnel.h"
#include "config/clesconfiguration.h"
#include "config/fnkestrel.h"
#include "i18n/constmessage.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "machine/automate.h"
#include "machine/machinecontrol.h"
#include "mail/email.h"
#include "media/frmvideo.h"
#include "payment/pontagetpvnew.h"
#include "platform/kiosktimer.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "reporting/envoyeremail.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"
#include "sale/prixvente.h"
#include "sale/vente.h"
#include "screens/fullscreenkeeper.h"
#include "screens/kioskstyle.h"
#include "screens/navigation.h"
#include "startup/demarrage.h"
#include "state/disponibilite.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"
#include "stock/accespersonnel.h"
#include "store/conversions.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <QVBoxLayout>
#include <cmath>
#include <utility>

namespace Movendi::Front {

using State::etat;
namespace KioskStyle = Screens::KioskStyle;

namespace {

// A picture or label that acts on a touch.
class Touchable : public QLabel
{
public:
    Touchable(std::function<void()> action, QWidget *parent)
        : QLabel(parent), m_action(std::move(action))
    {
    }

protected:
    void mousePressEvent(QMouseEvent *) override { m_action(); }

private:
    std::function<void()> m_action;
};

QLabel *cache(QLabel *label)
{
    label->setVisible(false);
    return label;
}

const QString bordureTuile = QStringLiteral("border: 3px solid #00a88f; border-radius: 8px;");

} // namespace

// The terminal's display during a restart or a remittance: the panel over the whole screen.
class FnAcceuil::AffichageAccueil final : public Payment::AffichageClient
{
public:
    explicit AffichageAccueil(FnAcceuil &accueil) : m_accueil(accueil) {}
    void montrer() override
    {
        QLabel *panneau = m_accueil.m_ssPanel1;
        m_legende = panneau->text();
        panneau->setMinimumHeight(m_accueil.height());
        panneau->show();
        panneau->raise();
        panneau->repaint();
    }
    void afficher(const QString &lignes) override
    {
        m_accueil.m_ssPanel1->setText(lignes);
        m_accueil.m_ssPanel1->repaint();
    }
    void cacher() override
    {
        QLabel *panneau = m_accueil.m_ssPanel1;
        panneau->hide();
        panneau->setMinimumHeight(0);
        panneau->setText(m_legende);
    }

private:
    FnAcceuil &m_accueil;
    QString m_legende;
};

FnAcceuil::FnAcceuil(Sale::FrmChoix *choix, OuvrirRemplissage remplissage,
                     Payment::LiaisonTerminal &terminal, QWidget *parent)
    : QWidget(parent), m_choix(choix), m_ouvrirRemplissage(std::move(remplissage)),
      m_terminal(terminal)
{
    setObjectName(QStringLiteral("FnAcceuil"));
    setWindowTitle(QStringLiteral("acceuil"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setStyleSheet(KioskStyle::feuille());

    construireTuiles();

    m_picture2 = cache(new QLabel(this));
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    auto *cmdFR = KioskStyle::bouton(QStringLiteral("CmdFR"), QStringLiteral("Appuyez ici"),
                                     QStringLiteral("langue"), this);
    auto *cmdEN = KioskStyle::bouton(QStringLiteral("CmdEN"), QStringLiteral("Touch here"),
                                     QStringLiteral("langue"), this);
    connect(cmdFR, &QPushButton::clicked, this, [this] { choisirLangue(QStringLiteral("FR")); });
    connect(cmdEN, &QPushButton::clicked, this, [this] { choisirLangue(QStringLiteral("EN")); });
    auto *drapeauFR = new QLabel(QStringLiteral("Français"), this);
    auto *drapeauEN = new QLabel(QStringLiteral("English"), this);

    QWidget *ssPanel1 = construireElementsCaches();

    m_accroche = KioskStyle::titre(QString(), this);
    m_accroche->setText(QStringLiteral("Touchez un article · Touch an item"));
    m_accroche->setAlignment(Qt::AlignCenter);
    auto *langues = new QHBoxLayout;
    langues->addStretch(1);
    for (auto [bouton, legende] : {std::pair{cmdFR, drapeauFR}, std::pair{cmdEN, drapeauEN}}) {
        auto *colonne = new QVBoxLayout;
        legende->setAlignment(Qt::AlignCenter);
        colonne->addWidget(legende);
        colonne->addWidget(bouton);
        langues->addLayout(colonne);
        langues->addSpacing(40);
    }
    langues->addStretch(1);
    auto *racine = new QVBoxLayout(this);
    racine->setContentsMargins(48, 36, 48, 36);
    racine->setSpacing(24);
    racine->addWidget(KioskStyle::bandeau(this));
    racine->addWidget(m_accroche);
    // While the kiosk takes no customer (store refusing writes, the night's run).
    m_labelDispo = cache(KioskStyle::alerte(
        QStringLiteral("LabelDispo"),
        QStringLiteral("Momentanément indisponible\nTemporary unavailable"), this));
    m_labelDispo->setAlignment(Qt::AlignCenter);
    racine->addWidget(m_tuiles, 1);
    racine->addWidget(m_labelDispo, 1);
    racine->addWidget(ssPanel1);
    racine->addLayout(langues);

    construireMinuteries();
    construireSupervisionEtFilm();
    connect(&State::disponibilite(), &State::Disponibilite::changee, this,
            &FnAcceuil::afficherDisponibilite);
    afficherDisponibilite();
    qApp->installEventFilter(this);
}

// The six article tiles, each an image, a name and a price a touch on either selects.
void FnAcceuil::construireTuiles()
{
    m_tuiles = new QWidget(this);
    auto *grille = new QGridLayout(m_tuiles);
    grille->setContentsMargins(0, 0, 0, 0);
    grille->setSpacing(26);
    for (int i = 0; i < Tuiles; ++i) {
        auto *carte = new QFrame(m_tuiles);
        carte->setProperty("role", QStringLiteral("carte"));
        auto *image = new Touchable([this, i] { toucherTuile(i); }, carte);
        image->setObjectName(QStringLiteral("Image1"));
        image->setProperty("index", i);
        image->setAlignment(Qt::AlignCenter);
        image->setFixedSize(215, HauteurTuile);
        auto *nom = new Touchable([this, i] { toucherTuile(i); }, carte);
        nom->setObjectName(QStringLiteral("Label1"));
        nom->setProperty("index", i);
        nom->setProperty("role", QStringLiteral("nom"));
        nom->setAlignment(Qt::AlignCenter);
        nom->setWordWrap(true);
        auto *prix = new QLabel(carte);
        prix->setObjectName(QStringLiteral("Label3"));
        prix->setProperty("index", i);
        prix->setProperty("role", QStringLiteral("prixTuile"));
        prix->setAlignment(Qt::AlignCenter);
        auto *couches = new QVBoxLayout(carte);
        couches->setContentsMargins(18, 18, 18, 18);
        couches->addWidget(image, 1, Qt::AlignCenter);
        couches->addWidget(nom);
        couches->addWidget(prix);
        m_images[i] = image;
        m_noms[i] = nom;
        m_prix[i] = prix;
        grille->addWidget(carte, i / 3, i % 3);
    }
}

// Panels and labels the terminal link and staff functions use; hidden on a working kiosk. The
// link's panel (SSPanel1) comes back for the layout.
QWidget *FnAcceuil::construireElementsCaches()
{
    QLabel *ssPanel1 = cache(KioskStyle::alerte(
        QStringLiteral("SSPanel1"), QStringLiteral("HORS SERVICE -  NOT WORKING"), this));
    m_ssPanel1 = ssPanel1;
    m_affichageTerminal = std::make_unique<AffichageAccueil>(*this);
    m_terminal.installerAffichages(m_terminal.affichagePaiement(), m_affichageTerminal.get());
    cache(KioskStyle::alerte(QStringLiteral("Label2"), QStringLiteral("INDISPONIBLE - UNAVAILABLE"),
                             this));
    for (int i = 0; i < 2; ++i) {
        auto *l = cache(
            new QLabel(i == 0 ? QStringLiteral("SUIVANT") : QStringLiteral("PRECEDENT"), this));
        l->setObjectName(QStringLiteral("Label7"));
        l->setProperty("index", i);
    }
    cache(new QLabel(QStringLiteral("Prix:"), this))->setObjectName(QStringLiteral("Label4"));
    // Hidden staff button: a test mail to the configured recipients.
    auto *command1 = KioskStyle::bouton(QStringLiteral("Command1"), QStringLiteral("Simu Export"),
                                        QStringLiteral("secondaire"), this);
    command1->setVisible(false);
    connect(command1, &QPushButton::clicked, this, [] {
        Reporting::EnvoyerEmail(QStringLiteral("test"), QStringLiteral("Test d' Email Da VUDU2"));
    });
    m_email1 = new Mail::Email(this);
    m_email1->setObjectName(QStringLiteral("Email1"));
    // The pause after a mail's data gives way when the screens change.
    m_email1->setInterruption([] { return !State::ecransStables(); });
    Reporting::installEmail1(m_email1);
    auto *labelSimu = new QLabel(this);
    labelSimu->setObjectName(QStringLiteral("LabelSimu"));
    labelSimu->setProperty("index", 0);
    m_ssPanelVideo = cache(new QLabel(this));
    m_ssPanelVideo->setObjectName(QStringLiteral("SSPanelVideo"));
    return ssPanel1;
}

// The film, the automatic return and the hourly check: their timers and what each does.
void FnAcceuil::construireMinuteries()
{
    auto timer = [this](int interval) {
        auto *t = new Platform::KioskTimer(this);
        t->setInterval(interval);
        return t;
    };
    m_timerAnimation = timer(400);
    m_timerVideo = timer(7000);
    m_timerRetourAutomatique = timer(60000);
    m_timerControl = timer(60000);
    connect(m_timerAnimation, &Platform::KioskTimer::timeout, this, &FnAcceuil::tickAnimation);
    connect(m_timerVideo, &Platform::KioskTimer::timeout, this, [this] {
        m_timerVideo->stop();
        // A cancelled payment may still wait for its card behind this screen: a modal film
        // would hold that wait until it ends.
        // Nor over start-up (the home screen not shown yet) or a screen in front of it.
        if (!State::filmPermis() || !isVisible()) {
            m_timerVideo->start();
            return;
        }
        LancerVideo();
    });
    connect(m_timerRetourAutomatique, &Platform::KioskTimer::timeout, this, [this] {
        // A sale on its screen is never hidden: its own steps bring the kiosk home. A film
        // longer than a minute is not either: the home screen would start it a second time
        // over itself; the player's own timer keeps the night.
        if (venteAffichee() || m_video->isVisible()) {
            m_timerRetourAutomatique->restart();
            return;
        }
        Screens::RetournerAccueil();
        m_supervision->VerifierSauvegarde();
    });
    if (paiement()) {
        connect(paiement(), &Sale::FrmPayment::paiementTermine, this, [this] {
            const int i = std::exchange(m_toucheDifferee, -1);
            if (i >= 0)
                QTimer::singleShot(0, this, [this, i] { toucherTuile(i); });
        });
    }
}

// The hourly check and the night, and the film's player, with what they ask of this screen.
void FnAcceuil::construireSupervisionEtFilm()
{
    Supervision::Actions actions;
    actions.base = [this] { return ouvrirBase(false) ? m_base.get() : nullptr; };
    actions.arreterVideo = [this] { ArreterVideo(); };
    // From the event loop: the player's modal loop must not nest inside the timer that ran
    // the night.
    actions.lancerVideo = [this] { QTimer::singleShot(0, this, [this] { LancerVideo(); }); };
    m_supervision = std::make_unique<Supervision>(std::move(actions), m_terminal);
    connect(m_timerControl, &Platform::KioskTimer::timeout, this,
            [this] { m_supervision->tickControl(); });
    Media::FrmVideo::Actions lecteur;
    lecteur.arreterVideo = [this] { ArreterVideo(); };
    lecteur.verifierSauvegarde = [this] { m_supervision->VerifierSauvegarde(); };
    lecteur.relancerTimerVideo = [this] { m_timerVideo->restart(); };
    lecteur.terminer = [this] { terminer(); };
    lecteur.ouvrirRemplissage = [this] { ouvrirRemplissage(); };
    m_video = std::make_unique<Media::FrmVideo>(std::move(lecteur));
}

void FnAcceuil::afficherDisponibilite()
{
    // A store made writable again is not seen through a connection opened while it was not:
    // the next use opens it afresh.
    const bool magasinEnPanne =
        State::disponibilite().contient(State::Indisponibilite::MagasinNonInscriptible);
    if (m_magasinEnPanne && !magasinEnPanne)
        m_base.reset();
    m_magasinEnPanne = magasinEnPanne;
    const bool disponible = State::disponibilite().disponible();
    m_tuiles->setVisible(disponible);
    m_accroche->setVisible(disponible);
    m_labelDispo->setVisible(!disponible);
    if (isVisible())
        repaint();
}

bool FnAcceuil::indisponibiliteAffichee() const
{
    return !m_labelDispo->isHidden();
}

FnAcceuil::~FnAcceuil()
{
    if (m_terminal.affichageAccueil() == m_affichageTerminal.get())
        m_terminal.installerAffichages(m_terminal.affichagePaiement(), nullptr);
    if (Reporting::email1() == m_email1)
        Reporting::installEmail1(nullptr);
    qApp->removeEventFilter(this);
    if (m_pointeurCache)
        QGuiApplication::restoreOverrideCursor();
}

void FnAcceuil::Form_Load()
{
    if (!m_pointeurCache) {
        QGuiApplication::setOverrideCursor(Qt::BlankCursor);
        m_pointeurCache = true;
    }
    RechercherPortImprimante();
    for (int i = 0; i < 4; ++i)
        m_images[i]->setFixedSize(215, HauteurTuile);
    ouvrirBase(true);
    chargerBadges();
    for (Platform::KioskTimer *t :
         {m_timerAnimation, m_timerVideo, m_timerRetourAutomatique, m_timerControl})
        t->start();
    ChargerCatalogue();
    m_videoEnCours = true;
}

void FnAcceuil::chargerBadges()
{
    const QString ini = State::etat().CheminIni, machine = QStringLiteral("Machine");
    QStringList valeurs{Config::lireCle(ini, machine, QStringLiteral("BadgePersonnel"))};
    for (int i = 1; i <= Config::NombreClesBadges; ++i)
        valeurs << Config::lireCle(ini, machine, QStringLiteral("BadgePersonnel%1").arg(i));
    valeurs.removeAll(QString());
    if (valeurs.isEmpty())
        return;
    Config::ListeBadges liste = Config::lireBadges(valeurs.join(QLatin1Char(';')));
    // A list none of whose badges can be read keeps the refill shut rather than open.
    for (const QString &erreur : std::as_const(liste.erreurs))
        Journal::JournaliserErreur(QStringLiteral("BadgePersonnel"), erreur);
    m_accesPersonnel =
        std::make_unique<Stock::AccesPersonnel>(std::move(liste.badges), &Stock::afficherSurLCD);
}

bool FnAcceuil::ouvrirBase(bool demarrage)
{
    if (m_base)
        return true;
    try {
        m_base = std::make_unique<Store::StoreDatabase>();
        if (m_baseEnEchec)
            Journal::JournaliserErreur(QStringLiteral("FnAcceuil"),
                                       QStringLiteral("base de donnée de nouveau accessible"));
        m_baseEnEchec = false;
        return true;
    } catch (const Journal::ErreurExecution &erreur) {
        // Reported once, as start-up reports it; each activation of the screen tries again.
        if (demarrage || !m_baseEnEchec) {
            if (erreur.numero() == Journal::Erreurs::BaseDeDonnees)
                Journal::JournaliserErreur(QStringLiteral("Main"),
                                           QStringLiteral("Problème de base de donnée"));
            Journal::SignalerErreur(QStringLiteral("Main"), erreur);
        }
        m_baseEnEchec = true;
        return false;
    }
}

void FnAcceuil::Form_Activate()
{
    m_timerAnimation->restart();
    ouvrirBase(false);
    ChargerCatalogue();
    AfficherCatalogue();
    I18n::ChargerMessages(etat().Langue);
}

void FnAcceuil::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_activation.montre();
}

void FnAcceuil::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_activation.cache();
}

void FnAcceuil::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    m_activation.changement(*this, *event);
}

void FnAcceuil::ChargerCatalogue()
{
    if (!m_base)
        return;
    try {
        const auto lignes = m_base->lire(QStringLiteral(
            "SELECT Reference, QteEnMachine, Designation, Image, prix, DesignationEN "
            "FROM StockGlobal ORDER BY Famille, Reference"));
        // An article without a price that can be charged is not offered.
        QList<QVariantList> offerts;
        for (const QVariantList &l : lignes.lignes) {
            if (Sale::prixVendable(l.at(4))) {
                offerts << l;
            } else if (!m_prixRefuses.contains(l.at(0).toInt())) {
                m_prixRefuses.insert(l.at(0).toInt());
                Journal::JournaliserErreur(
                    QStringLiteral("ChargerCatalogue"),
                    QStringLiteral("article %1 non proposé: prix invalide (%2)")
                        .arg(l.at(0).toString(),
                             l.at(4).isNull() ? QStringLiteral("aucun") : l.at(4).toString()));
            }
        }
        const int n = int(offerts.size());
        if (n == 0)
            return;
        // The table holds 20 articles: the rows beyond are left out.
        m_nombreArticles = qMin(n, LignesCatalogue - 1);
        for (int r = 1; r <= m_nombreArticles; ++r)
            m_catalogue[r].fill(QString());
        const QString taux =
            QLocale(QLocale::French, QLocale::France).toString(1.0 + etat().TauxTVA);
        for (int r = 1; r <= m_nombreArticles; ++r) {
            const QVariantList &l = offerts.at(r - 1);
            auto &cel = m_catalogue[r];
            cel[0] = taux;
            cel[1] = Store::ConvertNullStr(l.at(0));
            cel[2] = Store::ConvertNullStr(l.at(1));
            cel[3] = Store::ConvertNullStr(l.at(2));
            const QString image = Store::ConvertNullStr(l.at(3)) + QStringLiteral(".jpg");
            if (Utilities::FichierExiste(etat().CheminImages, image))
                cel[4] = image;
            if (!l.at(4).isNull())
                cel[5] = Store::StoreDatabase::monnaie(l.at(4)).texteMonetaire();
            cel[6] = Store::ConvertNullStr(l.at(5));
        }
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("ChargerCatalogue"), erreur);
    }
}

void FnAcceuil::AfficherCatalogue()
{
    const bool francais = etat().Langue == QLatin1String("FR");
    for (int i = 0; i < Tuiles; ++i) {
        const int n = i + 1;
        if (n > m_nombreArticles)
            break;
        const auto &ligne = m_catalogue.at(n);
        m_noms[i]->setText(francais ? ligne[3] : ligne[6]);
        const QString &image = ligne[4];
        if (!image.isEmpty() && Utilities::FichierExiste(etat().CheminImages, image)) {
            m_picture2->setPixmap(
                QPixmap(Utilities::AjouterAntislash(etat().CheminImages) + image));
            const QPixmap photo = m_picture2->pixmap();
            if (!photo.isNull() && photo.height() > 0) {
                const int largeur =
                    int(std::lround(double(HauteurTuile) * photo.width() / photo.height()));
                m_images[i]->setFixedSize(largeur, HauteurTuile);
                m_images[i]->setPixmap(photo.scaled(largeur, HauteurTuile, Qt::IgnoreAspectRatio,
                                                    Qt::SmoothTransformation));
            } else {
                m_images[i]->clear();
            }
        } else {
            m_images[i]->clear();
        }
        m_prix[i]->setText(ligne[5]);
    }
}

Sale::FrmPayment *FnAcceuil::paiement() const
{
    return m_choix ? m_choix->paiement() : nullptr;
}

Sale::Vente *FnAcceuil::venteEnCours() const
{
    return paiement() ? paiement()->vente() : nullptr;
}

bool FnAcceuil::venteAffichee() const
{
    return venteEnCours() && paiement()->isVisible();
}

void FnAcceuil::toucherTuile(int i)
{
    // Nothing is sold while the kiosk is out of service or the night runs.
    if (!State::disponibilite().disponible())
        return;
    if (Sale::Vente *vente = venteEnCours()) {
        // A new basket: the earlier card wait ends first, then this touch is played.
        if (vente->abandonnerAttenteCarte())
            m_toucheDifferee = i;
        return;
    }
    m_timerVideo->stop();
    State::RelancerRetourAutomatique();
    m_images[i]->setStyleSheet(bordureTuile);
    Utilities::AttendreInterruptible(0.3);
    const auto &ligne = m_catalogue.at(i + 1);
    State::EtatDemarrage &e = etat();
    e.ReferenceChoisie = ligne[1].toInt();
    e.QteChoisie = ligne[2].toInt();
    e.MontantAPayer = Money::Monnaie::depuisTexte(ligne[5]).value_or(Money::Monnaie());
    Screens::FullScreenKeeper::showFullScreen(m_choix);
    Screens::MettreAuPremierPlan(m_choix);
    hide();
    m_images[i]->setStyleSheet(QString());
}

void FnAcceuil::choisirLangue(const QString &langue)
{
    etat().Langue = langue;
    I18n::ChargerMessages(langue);
    AfficherCatalogue();
}

void FnAcceuil::RechercherPortImprimante()
{
    std::unique_ptr<Platform::SerialLine> ligne = Platform::serialLines().create(etat().CheminIni);
    etat().PortImprimante =
        std::int16_t(Platform::searchTicketPrinterPort(*ligne, etat().PortModem));
    ligne->close();
}

void FnAcceuil::tickAnimation()
{
    ++m_ticks;
    Machine::automate().CheckDoor();
    // Every 4 seconds while no film is up, the home screen takes the front back.
    if (m_videoEnCours) {
        m_ticks = 0;
    } else if (m_ticks >= 10) {
        m_ticks = 0;
        // Never over a sale running on the payment screen.
        if (isVisible() && !venteAffichee())
            Screens::MettreAuPremierPlan(this);
    }
}

void FnAcceuil::LancerVideo()
{
    // Already up: a second modal showing would nest inside the first. Nor over a sale or staff
    // refilling (the home screen starts it once they are done).
    if (m_video->isVisible() || !State::filmPermis() ||
        (m_accesPersonnel && m_accesPersonnel->enAttente()))
        return;
    m_videoEnCours = true;
    m_ssPanelVideo->setFixedHeight(height());
    m_ssPanelVideo->setVisible(true);
    Screens::FullScreenKeeper::showFullScreen(m_video.get());
    m_video->exec();
}

void FnAcceuil::ArreterVideo()
{
    m_videoEnCours = false;
    m_ssPanelVideo->setVisible(false);
    m_timerVideo->stop();
    m_video->hide();
    State::RelancerRetourAutomatique();
}

void FnAcceuil::ouvrirRemplissage()
{
    ArreterVideo();
    // The badge comes as the scanner's keys, then Enter.
    if (m_accesPersonnel) {
        m_accesPersonnel->demander();
        return;
    }
    montrerRemplissage(QString());
}

void FnAcceuil::montrerRemplissage(const QString &personnel)
{
    if (m_ouvrirRemplissage)
        m_ouvrirRemplissage(personnel);
    hide();
    m_video->hide();
}

bool FnAcceuil::saisirBadge(QKeyEvent *cle)
{
    if (!m_accesPersonnel || !m_accesPersonnel->enAttente())
        return false;
    if (cle->key() != Qt::Key_Return && cle->key() != Qt::Key_Enter) {
        m_accesPersonnel->saisir(cle->text());
        return true;
    }
    if (m_accesPersonnel->valider() == Stock::AccesPersonnel::Issue::Ouvert &&
        State::remplissagePermis())
        montrerRemplissage(m_accesPersonnel->ouvertPar());
    return true;
}

bool FnAcceuil::eventFilter(QObject *watched, QEvent *event)
{
    const bool touche = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!touche || !widget || widget->window() != this)
        return QWidget::eventFilter(watched, event);
    auto *cle = static_cast<QKeyEvent *>(event);
    if (event->type() == QEvent::KeyPress) {
        if (!State::ecransStables())
            return false;
        // A badge being read takes every key, F included.
        if (saisirBadge(cle))
            return true;
        if (cle->key() == Qt::Key_F)
            terminer();
        return true;
    }
    // Not during the nightly run: it ends by starting the film again.
    if (cle->key() == Qt::Key_F12 && !cle->isAutoRepeat() && State::remplissagePermis())
        ouvrirRemplissage();
    return true;
}

void FnAcceuil::terminer()
{
    if (m_termine)
        return;
    m_termine = true;
    m_video->hide();
    for (Platform::KioskTimer *t :
         {m_timerAnimation, m_timerVideo, m_timerRetourAutomatique, m_timerControl})
        t->stop();
    if (m_pointeurCache) {
        QGuiApplication::restoreOverrideCursor();
        m_pointeurCache = false;
    }
    m_base.reset();
    Startup::EcrireDrapeauMarche(false);
    hide();
    QCoreApplication::quit();
}

void FnAcceuil::closeEvent(QCloseEvent *event)
{
    terminer();
    event->accept();
}

} // namespace Movendi::Front
