#include "i18n/modtranslate.h"
#include "kiosktest.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <utility>

using namespace Movendi::I18n;

namespace {

class TraduireFormTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        m_ecran = std::make_unique<QWidget>();
        m_ecran->setObjectName(QStringLiteral("FnTest"));
        m_ecran->setWindowTitle(QStringLiteral("acceuil"));
    }
    template <typename W> W *ajouter(const QString &nom, int index = -1, QWidget *parent = nullptr)
    {
        auto *w = new W(parent ? parent : m_ecran.get());
        w->setObjectName(nom);
        if (index >= 0)
            w->setProperty("index", index);
        return w;
    }
    QString langue(const QByteArray &contenu)
    {
        writeFile(QStringLiteral("French.lng"), "[FnTest]\n" + contenu);
        return path(QStringLiteral("French.lng"));
    }

    std::unique_ptr<QWidget> m_ecran;
};

TEST_F(TraduireFormTest, Controls_ArrayMembersUseIndexSingleControlsDoNot)
{
    auto *tuile0 = ajouter<QLabel>(QStringLiteral("Label1"), 0);
    auto *tuile1 = ajouter<QLabel>(QStringLiteral("Label1"), 1);
    tuile1->setText(QStringLiteral("garde"));
    auto *bouton = ajouter<QPushButton>(QStringLiteral("CmdFR"));
    TraduireForm(m_ecran.get(), langue("Label1.Caption=faux\n"
                                       "Label1(0).Caption=Tuile zéro\n"
                                       "Label1(1).ToolTipText=Touchez\n"
                                       "CmdFR(0).Caption=faux\n"
                                       "CmdFR.Caption=Appuyez ici\n"
                                       "CmdFR.ToolTipText=Français\n"));
    EXPECT_EQ(tuile0->text(), QStringLiteral("Tuile zéro"));
    EXPECT_EQ(tuile1->text(), QStringLiteral("garde"));
    EXPECT_EQ(tuile1->toolTip(), QStringLiteral("Touchez"));
    EXPECT_EQ(bouton->text(), QStringLiteral("Appuyez ici"));
    EXPECT_EQ(bouton->toolTip(), QStringLiteral("Français"));
}

TEST_F(TraduireFormTest, ScreenCaption_LookedUpUnderItsCurrentCaption)
{
    const QString fichier = langue("acceuil=Welcome\n");
    TraduireForm(m_ecran.get(), fichier);
    EXPECT_EQ(m_ecran->windowTitle(), QStringLiteral("Welcome"));
    TraduireForm(m_ecran.get(), fichier); // no "Welcome" key: the caption stays
    EXPECT_EQ(m_ecran->windowTitle(), QStringLiteral("Welcome"));
    TraduireForm(m_ecran.get(), langue("Welcome=acceuil\n"));
    EXPECT_EQ(m_ecran->windowTitle(), QStringLiteral("acceuil"));
}

TEST_F(TraduireFormTest, AbsentKeyOrFile_KeepsTextEmptyValueEmpties)
{
    auto *label = ajouter<QLabel>(QStringLiteral("Label2"));
    label->setText(QStringLiteral("INDISPONIBLE"));
    label->setToolTip(QStringLiteral("conseil"));
    TraduireForm(m_ecran.get(), path(QStringLiteral("absent.lng")));
    TraduireForm(nullptr, path(QStringLiteral("absent.lng")));
    EXPECT_EQ(label->text(), QStringLiteral("INDISPONIBLE"));
    EXPECT_EQ(m_ecran->windowTitle(), QStringLiteral("acceuil"));

    const QString fichier = langue("Label2.Caption=\n");
    TraduireForm(m_ecran.get(), fichier);
    EXPECT_EQ(label->text(), QString());
    EXPECT_EQ(label->toolTip(), QStringLiteral("conseil"));
    EXPECT_EQ(LireCleLangue(fichier, QStringLiteral("fntest"), QStringLiteral("label2.caption"),
                            QStringLiteral("x")),
              QString());
    EXPECT_EQ(LireCleLangue(fichier, QStringLiteral("FnTest"), QStringLiteral("Absente"),
                            QStringLiteral(" HT:  ")),
              QStringLiteral(" HT:  "));
}

TEST_F(TraduireFormTest, WidgetsWithoutCaption_PassedOverButPanelsTranslated)
{
    (new QTimer(m_ecran.get()))->setObjectName(QStringLiteral("TimerVideo"));
    auto *simple = ajouter<QWidget>(QStringLiteral("Zone"));
    auto *image = ajouter<QLabel>(QStringLiteral("Image1"), 0);
    QPixmap photo(4, 3);
    photo.fill(Qt::red);
    image->setPixmap(photo);
    auto *sansNom = ajouter<QLabel>(QString());
    sansNom->setText(QStringLiteral("sans nom"));
    auto *panneau = ajouter<QFrame>(QStringLiteral("SSPanel1"));
    panneau->setProperty("caption", QStringLiteral("HORS SERVICE"));
    auto *autreFenetre = ajouter<QWidget>(QStringLiteral("FrmChoix"));
    autreFenetre->setWindowFlags(Qt::Window);
    auto *sienne = ajouter<QLabel>(QStringLiteral("Zone"), -1, autreFenetre);

    TraduireForm(m_ecran.get(), langue("Zone.Caption=faux\nZone.ToolTipText=Aide\n"
                                       "TimerVideo.Caption=faux\nImage1(0).Caption=faux\n"
                                       ".Caption=faux\nSSPanel1.Caption=NOT WORKING\n"));
    EXPECT_FALSE(simple->property("caption").isValid());
    EXPECT_EQ(simple->toolTip(), QStringLiteral("Aide"));
    EXPECT_FALSE(image->pixmap().isNull());
    EXPECT_EQ(image->text(), QString());
    EXPECT_EQ(sansNom->text(), QStringLiteral("sans nom"));
    EXPECT_EQ(panneau->property("caption").toString(), QStringLiteral("NOT WORKING"));
    EXPECT_EQ(sienne->toolTip(), QString());
}

// The files the kiosk ships: both languages carry the same keys and switch a home screen
// back and forth, keeping the caption the single-copy check looks for.
TEST_F(TraduireFormTest, ShippedFiles_SameKeysAndHomeScreenSwitchesBothWays)
{
    const QString francais = QStringLiteral(MOVENDI_SOURCE_DIR "/data/French.lng");
    const QString anglais = QStringLiteral(MOVENDI_SOURCE_DIR "/data/English.lng");
    for (const auto &[fichier, autre] :
         {std::pair{francais, anglais}, std::pair{anglais, francais}}) {
        QFile f(fichier);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
        QString section;
        int cles = 0;
        for (const QString &ligne : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            if (ligne.startsWith(QLatin1Char('[')))
                section = ligne.mid(1, ligne.indexOf(QLatin1Char(']')) - 1);
            else if (!ligne.startsWith(QLatin1Char(';')) && ligne.contains(QLatin1Char('='))) {
                ++cles;
                const QString cle = ligne.section(QLatin1Char('='), 0, 0);
                EXPECT_NE(LireCleLangue(autre, section, cle, QStringLiteral("<absente>")),
                          QStringLiteral("<absente>"))
                    << section.toStdString() << " " << cle.toStdString();
            }
        }
        EXPECT_GT(cles, 30);
    }

    m_ecran->setObjectName(QStringLiteral("FnAcceuil"));
    auto *suivant = ajouter<QLabel>(QStringLiteral("Label7"), 0);
    suivant->setText(QStringLiteral("SUIVANT"));
    auto *nom = ajouter<QLabel>(QStringLiteral("Label1"), 5);
    nom->setText(QStringLiteral("Nokia 3310"));
    auto *langueEN = ajouter<QPushButton>(QStringLiteral("CmdEN"));
    TraduireForm(m_ecran.get(), anglais);
    EXPECT_EQ(m_ecran->windowTitle(), QStringLiteral("acceuil"));
    EXPECT_EQ(suivant->text(), QStringLiteral("NEXT"));
    EXPECT_EQ(nom->text(), QStringLiteral("Nokia 3310"));
    EXPECT_FALSE(nom->toolTip().isEmpty());
    EXPECT_EQ(langueEN->text(), QStringLiteral("Touch here"));
    TraduireForm(m_ecran.get(), francais);
    EXPECT_EQ(suivant->text(), QStringLiteral("SUIVANT"));
    EXPECT_EQ(m_ecran->windowTitle(), QStringLiteral("acceuil"));

    m_ecran->setObjectName(QStringLiteral("FrmPayment"));
    m_ecran->setWindowTitle(QStringLiteral("Paiement"));
    TraduireForm(m_ecran.get(), anglais);
    EXPECT_EQ(m_ecran->windowTitle(), QStringLiteral("Payment"));
    TraduireForm(m_ecran.get(), francais);
    EXPECT_EQ(m_ecran->windowTitle(), QStringLiteral("Paiement"));
}

} // namespace
