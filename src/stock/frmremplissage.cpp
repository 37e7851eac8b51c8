#include "frmremplissage.h"

#include "inventaire.h"
#include "listeimei.h"
#include "machine/automate.h"
#include "machine/machinecontrol.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/kiosktimer.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "startup/ecrans.h"
#include "startup/erreur.h"
#include "startup/etatdemarrage.h"
#include "startup/fnkestrel.h"
#include "startup/fonctionutilitaires.h"
#include "startup/journal.h"
#include "startup/kioskstyle.h"
#include "startup/storedatabase.h"

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

using Startup::ErreurExecution;

namespace {

constexpr int IntervalleTimer1Ms = 600;
// Every 4 minutes the home screen's automatic return is counted again from zero.
constexpr std::int16_t TopsRelance = 400;
constexpr int ErreurObjetFerme = 3704;

ErreurExecution objetFerme(const QString &quoi)
{
    return ErreurExecution(
        ErreurObjetFerme,
        QStringLiteral("Opération non autorisée si l'objet est fermé (%1).").arg(quoi));
}

QString etage(qint64 valeur)
{
    return QStringLiteral("Etage: ") + QString::number(valeur);
}

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
    : QWidget(parent), m_ligneImprimante(ligneImprimante)
{
    setObjectName(QStringLiteral("FrmRemplissage"));
    setWindowTitle(QStringLiteral("remplissage"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setStyleSheet(Startup::KioskStyle::feuille() +
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
    layout->addWidget(Startup::KioskStyle::bandeau(this));

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
        Startup::KioskStyle::bouton(QStringLiteral("Command1"), QStringLiteral("Fermer Porte"),
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
    QPushButton *monter = Startup::KioskStyle::bouton(QStringLiteral("SpinUp"), QStringLiteral("▲"),
                                                      QStringLiteral("secondaire"), this);
    QPushButton *descendre = Startup::KioskStyle::bouton(
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
    Startup::ArreterRetourAutomatique();
    if (Startup::Ecrans *e = Startup::ecrans()) {
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
        if (Startup::Ecrans *e = Startup::ecrans()) {
            if (QWidget *accueil = e->accueil())
                accueil->hide();
            e->arreterAnimation();
        }
        m_demandeFin = false;
        OuvrirTables();
    } catch (const ErreurExecution &erreur) {
        Startup::SignalerErreur(QStringLiteral("frmremplissage FormActivate"), erreur);
    }
}

void FrmRemplissage::Form_Unload()
{
    if (m_decharge)
        return;
    m_decharge = true;
    m_timer1->stop();
    if (Startup::Ecrans *e = Startup::ecrans())
        e->relancerAnimation();
    m_base.reset();
    m_liste.reset();
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
    m_liste.reset();
    m_base.reset();
    m_emplacement.reset();
    try {
        // Whatever the letter case staff gave the file.
        m_liste = std::make_unique<ListeIMEI>(ListeIMEI::lire(Platform::resolvePathNoCase(
            Startup::DossierApplication() + QStringLiteral("ListeIMEI.xls"))));
        m_base = std::make_unique<Startup::StoreDatabase>();
        m_base->lire(QStringLiteral("SELECT * FROM EmplacementsMachine1 WHERE Reference IS NULL "
                                    "ORDER BY Colonne, Etage, NoEmpl"));
        m_base->lire(QStringLiteral("SELECT * FROM ArticleEnStock ORDER BY Reference"));
    } catch (const ErreurExecution &erreur) {
        Startup::SignalerErreur(QStringLiteral("OuvrirTables"), erreur);
    }
}

Startup::StoreDatabase &FrmRemplissage::base()
{
    if (!m_base)
        throw objetFerme(QStringLiteral("base du magasin"));
    return *m_base;
}

const ListeIMEI &FrmRemplissage::liste() const
{
    if (!m_liste)
        throw objetFerme(QStringLiteral("liste de livraison"));
    return *m_liste;
}

std::optional<FrmRemplissage::Emplacement>
FrmRemplissage::premierEmplacement(Startup::StoreDatabase &base, const QString &sql,
                                   const QVariantList &parametres)
{
    const Startup::ResultatRequete r = base.lire(sql, parametres);
    if (r.estVide())
        return std::nullopt;
    return Emplacement{r.valeur(0, QStringLiteral("NoEmpl")).toLongLong(),
                       std::int16_t(r.valeur(0, QStringLiteral("Colonne")).toInt()),
                       r.valeur(0, QStringLiteral("Etage")).toLongLong()};
}

void FrmRemplissage::LectureDouchette()
{
    const QString code = m_textCodBar->text();
    const bool recharge = code.size() == 16;
    if (!recharge && code.size() != 15)
        return;
    try {
        Startup::StoreDatabase &b = base();
        // The code is compared whole through a bound value: a quote or a wildcard in it is
        // only a character.
        const std::optional<Emplacement> present = premierEmplacement(
            b,
            recharge ? QStringLiteral("SELECT NoEmpl, Colonne, Etage FROM EmplacementsMachine1 "
                                      "WHERE NoSIM = ? COLLATE NOCASE ORDER BY NoEmpl LIMIT 1")
                     : QStringLiteral("SELECT NoEmpl, Colonne, Etage FROM EmplacementsMachine1 "
                                      "WHERE IMEI = ? COLLATE NOCASE ORDER BY NoEmpl LIMIT 1"),
            {code});
        if (present) {
            m_emplacement = present;
            AffichezMessage(recharge ? QStringLiteral("Erreur NSTE deja ")
                                     : QStringLiteral("Erreur IMEI deja "),
                            QStringLiteral("present dans le DA"));
            presenter(*present);
            AffichezMessage(code, etage(present->etage));
            return;
        }
        m_emplacement = premierEmplacement(
            b, recharge ? QStringLiteral("SELECT NoEmpl, Colonne, Etage FROM EmplacementsMachine1 "
                                         "WHERE Reference IS NULL AND Etage < 3 "
                                         "ORDER BY Colonne, Etage, NoEmpl LIMIT 1")
                        : QStringLiteral("SELECT NoEmpl, Colonne, Etage FROM EmplacementsMachine1 "
                                         "WHERE Reference IS NULL AND Etage > 2 "
                                         "ORDER BY Colonne, Etage, NoEmpl LIMIT 1"));
        if (!m_emplacement) {
            AffichezMessage(QStringLiteral("Pas d'emplacement"), QStringLiteral("disponible"));
            return;
        }
        if (recharge)
            RemplissageMachineRECHA(code);
        else
            RemplissageMachineTELE(code);
        m_textCodBar->clear();
        m_textCodBar->setFocus();
    } catch (const ErreurExecution &erreur) {
        Startup::SignalerErreur(QStringLiteral("LectureDouchette"), erreur);
    }
}

void FrmRemplissage::RemplissageMachineTELE(const QString &code)
{
    charger({QStringLiteral("NumIMEI"), QStringLiteral("RemplissageMachineTELE"), true}, code);
}

void FrmRemplissage::RemplissageMachineRECHA(const QString &code)
{
    charger({QStringLiteral("NSTE"), QStringLiteral("RemplissageMachineRECHA"), false}, code);
}

void FrmRemplissage::charger(const Article &article, const QString &code)
{
    try {
        const ListeIMEI &l = liste();
        const qsizetype ligne = l.chercher(article.colonneListe, code);
        if (ligne < 0)
            return;
        const QVariant ean13 = l.valeur(ligne, QStringLiteral("EAN13"));
        Startup::StoreDatabase &b = base();
        const Startup::ResultatRequete catalogue =
            b.lire(QStringLiteral("SELECT Reference FROM ArticleEnStock WHERE CodeBar = ? "
                                  "COLLATE NOCASE ORDER BY Reference LIMIT 1"),
                   {ean13.isNull() ? QVariant(QString()) : ean13});
        if (catalogue.estVide())
            return;
        if (!m_emplacement)
            throw objetFerme(QStringLiteral("emplacement"));
        const Emplacement e = *m_emplacement;
        if (const std::int32_t statut = presenter(e); statut != 0) {
            // The location stays free; staff see the door not open.
            Startup::JournaliserErreur(
                article.contexte,
                QStringLiteral("emplacement %1 non présenté (mécanisme: %2), laissé libre")
                    .arg(e.noEmpl)
                    .arg(statut));
            return;
        }
        const QVariant numero = l.valeur(ligne, article.colonneListe);
        AffichezMessage(Startup::ConvertNullStr(numero), etage(e.etage));
        const QVariant reference = catalogue.valeur(0, QStringLiteral("Reference"));
        const QVariant commande = l.valeur(ligne, QStringLiteral("NoCommande"));
        // Written only while still free, so that one locker never receives two articles.
        const int ecrites =
            article.telephone
                ? b.executer(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = ?, "
                                            "NoSIM = ?, IMEI = ?, EAN13 = ?, NoCommande = ? "
                                            "WHERE NoEmpl = ? AND Reference IS NULL"),
                             {reference, l.valeur(ligne, QStringLiteral("NSCE")), numero, ean13,
                              commande, e.noEmpl})
                : b.executer(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = ?, "
                                            "NoSIM = ?, EAN13 = ?, NoCommande = ? "
                                            "WHERE NoEmpl = ? AND Reference IS NULL"),
                             {reference, numero, ean13, commande, e.noEmpl});
        if (ecrites == 0)
            throw ErreurExecution(Startup::StoreDatabase::ErreurRequete,
                                  QStringLiteral("emplacement %1 occupé entre-temps: %2 non "
                                                 "enregistré")
                                      .arg(e.noEmpl)
                                      .arg(code));
    } catch (const ErreurExecution &erreur) {
        Startup::SignalerErreur(article.contexte, erreur);
    }
}

std::int16_t FrmRemplissage::posColJournalisee(std::int16_t colonne)
{
    try {
        return PosCol(colonne);
    } catch (const ErreurExecution &erreur) {
        Startup::SignalerErreur(QStringLiteral("PosCol"), erreur);
        return 0;
    }
}

std::int32_t FrmRemplissage::presenter(const Emplacement &e)
{
    Machine::MachineControl &automate = Machine::automate();
    if (Startup::etat().ChargementArriere)
        return automate.DrumPosition(Machine::DrumUnit, posColJournalisee(e.colonne),
                                     Machine::DrumSpeed);
    m_emplacementOuvert = std::int32_t(e.noEmpl);
    automate.DrumPosition(Machine::DrumUnit, m_emplacementOuvert, Machine::DrumSpeed);
    const std::int32_t statut =
        automate.OpenDoor(Machine::DrumUnit, m_emplacementOuvert, Machine::DrumSpeed);
    m_command1->setVisible(true);
    return statut;
}

void FrmRemplissage::Command1_Click()
{
    m_command1->setVisible(false);
    Machine::automate().CloseDoor(Machine::DrumUnit, m_emplacementOuvert, Machine::DrumSpeed);
}

void FrmRemplissage::AffichezMessage(const QString &ligne1, const QString &ligne2)
{
    m_lcd.InitAfficheur();
    if (ligne1.isEmpty() && ligne2.isEmpty()) {
        afficherLCD(QString());
    } else {
        const QString texte = texteMessageLCD(ligne1, ligne2);
        m_text2->setText(texte);
        envoyerTexteLCD(m_lcd, texte);
        afficherLCD(texte);
    }
    if (const QString erreur = m_lcd.prendreErreur(); !erreur.isEmpty())
        Startup::JournaliserErreur(QStringLiteral("AffichezMessage"),
                                   QStringLiteral("afficheur: ") + erreur);
}

void FrmRemplissage::afficherLCD(const QString &texte)
{
    const QString t = texte.leftJustified(40, QLatin1Char(' '));
    m_ecranLCD->setText(t.left(20) + QLatin1Char('\n') + t.mid(20, 20));
}

Platform::SerialLine &FrmRemplissage::ligneImprimante()
{
    if (m_ligneImprimante)
        return *m_ligneImprimante;
    if (!m_lignePropre)
        m_lignePropre = Platform::serialLines().create(Startup::etat().CheminIni);
    return *m_lignePropre;
}

void FrmRemplissage::ImprimerContenueEmplacements()
{
    try {
        Platform::SerialLine &ligne = ligneImprimante();
        if (!ligne.isOpen()) {
            ligne.setInputLength(0);
            if (!ligne.open(Startup::etat().PortImprimante,
                            QString::fromLatin1(Platform::TicketPrinterSettings)))
                throw ErreurExecution(Startup::Erreurs::AccesFichier, ligne.errorText());
        }
        while (ligne.bytesAvailable() > 0)
            ligne.read();
        const auto imprimer = [&ligne](const QByteArray &octets) {
            if (!ligne.write(octets))
                throw ErreurExecution(Startup::Erreurs::AccesFichier, ligne.errorText());
        };

        const Startup::ResultatRequete contenu = base().lire(QStringLiteral(
            "SELECT EmplacementsMachine1.*, ArticleEnStock.Image FROM EmplacementsMachine1 "
            "LEFT OUTER JOIN ArticleEnStock ON EmplacementsMachine1.Reference = "
            "ArticleEnStock.Reference WHERE EmplacementsMachine1.Reference IS NOT NULL "
            "ORDER BY EmplacementsMachine1.Reference, EmplacementsMachine1.Colonne, "
            "EmplacementsMachine1.Etage, EmplacementsMachine1.NoEmpl"));

        const QDateTime maintenant = Platform::clock().now();
        const QString identite = Startup::etat().IdentiteMachine;
        m_list1->clear();
        m_list1->setVisible(true);
        m_list1->addItems(enteteEcranContenu(maintenant, identite));
        m_spinButton1->setVisible(true);
        imprimer(enteteImprimeContenu(maintenant, identite));
        m_list1->addItem(regleEcranContenu());
        imprimer(regleImprimeeContenu());
        for (qsizetype i = 0; i < contenu.lignes.size(); ++i) {
            const LigneContenu l{contenu.valeur(i, QStringLiteral("Reference")).toLongLong(),
                                 contenu.valeur(i, QStringLiteral("Colonne")).toLongLong(),
                                 contenu.valeur(i, QStringLiteral("Etage")).toLongLong(),
                                 contenu.valeur(i, QStringLiteral("Image")),
                                 contenu.valeur(i, QStringLiteral("IMEI"))};
            m_list1->addItem(ligneEcranContenu(l));
            imprimer(ligneImprimeeContenu(l));
        }
        imprimer(finImprimeeContenu());
        if (ligne.isOpen())
            ligne.close();
    } catch (const ErreurExecution &erreur) {
        Startup::SignalerErreur(QStringLiteral("ImprimerContenueEmplacements"), erreur);
    }
}

void FrmRemplissage::Destockage(std::int32_t reference)
{
    try {
        Startup::StoreDatabase &b = base();
        const Startup::ResultatRequete lignes =
            b.lire(QStringLiteral("SELECT NoEmpl FROM EmplacementsMachine1 WHERE Reference = ? "
                                  "ORDER BY NoEmpl"),
                   {reference});
        if (lignes.estVide()) {
            AffichezMessage(QStringLiteral("Reference inconnue"), QString());
            return;
        }
        // The inventory still shows the locations about to be emptied.
        ImprimerContenueEmplacements();
        for (const QVariantList &ligne : lignes.lignes)
            b.executer(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = NULL, "
                                      "IMEI = NULL, NoSIM = NULL, EAN13 = NULL, "
                                      "NoCommande = NULL WHERE NoEmpl = ?"),
                       {ligne.at(0)});
        AffichezMessage(QStringLiteral("Operation effectuee"), QString());
    } catch (const ErreurExecution &erreur) {
        Startup::SignalerErreur(QStringLiteral("Destockage"), erreur);
    }
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
        Startup::RelancerRetourAutomatique();
        // Unloads this screen (deleted once back in the event loop) and shows the home screen.
        Startup::RetournerAccueil();
        return;
    }
    if (++m_compteurTops >= TopsRelance) {
        m_compteurTops = 0;
        Startup::RelancerRetourAutomatique();
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
                Startup::SignalerErreur(QStringLiteral("Destockage"),
                                        Startup::Erreurs::depassement());
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
