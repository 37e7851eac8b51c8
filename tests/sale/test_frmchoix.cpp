#include "front/fnacceuil.h"
#include "sale/etatvente.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"
#include "screenstest.h"
#include "state/etatdemarrage.h"

#include <QFile>
#include <QTest>
#include <QTextBrowser>

using namespace Movendi;
using Money::Monnaie;
using State::etat;

namespace {

class FrmChoixTest : public Test::ScreensTest
{
protected:
    void SetUp() override
    {
        ScreensTest::SetUp();
        demarrer();
    }
    Sale::FrmChoix *choix() const { return m_screens.frmChoix(); }
    QPushButton *bouton(const char *nom) const
    {
        return controle<QPushButton>(choix(), QLatin1String(nom));
    }
    QString texte(const char *nom) const
    {
        return controle<QLabel>(choix(), QLatin1String(nom))->text();
    }
    // As a touch on the home screen does.
    void montrer(int reference, int centimes)
    {
        etat().ReferenceChoisie = reference;
        etat().MontantAPayer = Monnaie::depuisCentimes(centimes);
        m_screens.fnAcceuil()->hide();
        choix()->showFullScreen();
        traiterEvenements();
    }
};

TEST_F(FrmChoixTest, Article_ShownWithPriceDescriptionAndBothOffers)
{
    montrer(101, 19990);
    EXPECT_EQ(texte("Label2"), QStringLiteral("Samsung Galaxy A15 128 Go"));
    EXPECT_EQ(texte("Label3"), QStringLiteral("199,90 €"));
    EXPECT_TRUE(controle<QTextBrowser>(choix(), QStringLiteral("RichTextBox1"))
                    ->toPlainText()
                    .contains(QStringLiteral("Écran")));
    EXPECT_TRUE(bouton("Command1")->isVisible());
    EXPECT_EQ(bouton("Command1")->text(), QStringLiteral("Ajouter une recharge de 10,00 €"));
    EXPECT_EQ(bouton("Command2")->text(), QStringLiteral("Ajouter une recharge de 20,00 €"));
    EXPECT_FALSE(controle(choix(), QStringLiteral("Label1"))->isVisible());
    EXPECT_TRUE(bouton("CmdVal")->isEnabled());
    const Sale::Panier vente = choix()->panier();
    EXPECT_EQ(vente.ReferenceArticle, 101);
    EXPECT_EQ(vente.PrixArticle, Monnaie::depuisCentimes(19990));
    EXPECT_EQ(vente.InfoSociete.Ville, QStringLiteral("Lyon"));
}

TEST_F(FrmChoixTest, TopUpArticle_ShowsNoOfferAndTheNextPhoneShowsThemAgain)
{
    montrer(201, 1000);
    EXPECT_FALSE(bouton("Command1")->isVisible());
    EXPECT_FALSE(bouton("Command2")->isVisible());
    choix()->hide();
    montrer(102, 62900);
    EXPECT_TRUE(bouton("Command1")->isVisible());
    EXPECT_TRUE(bouton("Command2")->isVisible());
}

TEST_F(FrmChoixTest, OfferOne_DisablesOfferTwoAndRemovingItRestoresTheAmount)
{
    montrer(101, 19990);
    cliquer(bouton("Command1"));
    EXPECT_FALSE(bouton("Command2")->isEnabled());
    EXPECT_EQ(bouton("Command1")->text(), QStringLiteral("Retirer la recharge de 10,00 €"));
    EXPECT_TRUE(bouton("Command1")->styleSheet().contains(QStringLiteral("#ff0000")));
    EXPECT_EQ(texte("Label2"),
              QStringLiteral("Samsung Galaxy A15 128 Go\r\n+ Recharge de 10,00 €"));
    EXPECT_EQ(texte("Label3"), QStringLiteral("209,90 €"));
    EXPECT_EQ(etat().MontantAPayer, Monnaie::depuisCentimes(20990));
    EXPECT_EQ(choix()->panier().LigneRecharge.ReferenceRecharge, 201);
    EXPECT_EQ(choix()->panier().LigneRecharge.PrixRechargeCentimes, 1000);

    cliquer(bouton("Command1"));
    EXPECT_TRUE(bouton("Command2")->isEnabled());
    EXPECT_EQ(etat().MontantAPayer, Monnaie::depuisCentimes(19990));
    EXPECT_EQ(choix()->panier().LigneRecharge.ReferenceRecharge, 0);
    EXPECT_EQ(texte("Label3"), QStringLiteral("199,90 €"));
}

TEST_F(FrmChoixTest, OutOfStock_NoticeThenHomeAfterFourSeconds)
{
    const qint64 avant = m_clock.monotonicMs();
    montrer(106, 54900);
    EXPECT_GE(m_clock.monotonicMs() - avant, 4000);
    EXPECT_FALSE(choix()->isVisible());
    EXPECT_TRUE(m_screens.fnAcceuil()->isVisible());
    EXPECT_TRUE(bouton("CmdVal")->isEnabled()); // ready for the next customer
}

TEST_F(FrmChoixTest, English_WithoutEnglishDescription_ShowsAnEmptyBox)
{
    QFile::remove(path(QStringLiteral("image/galaxy-a15EN.rtf")));
    etat().Langue = QStringLiteral("EN");
    montrer(101, 19990);
    EXPECT_EQ(texte("Label2"), QStringLiteral("Samsung Galaxy A15 128 GB"));
    EXPECT_TRUE(
        controle<QTextBrowser>(choix(), QStringLiteral("RichTextBox1"))->toPlainText().isEmpty());
    EXPECT_EQ(bouton("Command1")->text(), QStringLiteral("Add refill of 10,00 €"));
}

TEST_F(FrmChoixTest, ValidateAndCancel_IgnoredWhileReturningHome)
{
    montrer(101, 19990);
    etat().RetourAccueilEnCours = true;
    cliquer(bouton("CmdVal"));
    cliquer(bouton("CmdAnn"));
    EXPECT_TRUE(choix()->isVisible());
    EXPECT_FALSE(m_screens.frmPayment()->isVisible());
    etat().RetourAccueilEnCours = false;
    cliquer(bouton("CmdAnn"));
    EXPECT_FALSE(choix()->isVisible());
    EXPECT_TRUE(m_screens.fnAcceuil()->isVisible());
}

TEST_F(FrmChoixTest, Validate_HandsOverToPaymentWhichForNowReturnsHome)
{
    montrer(101, 19990);
    cliquer(bouton("Command2"));
    QTest::mouseClick(bouton("CmdVal"), Qt::LeftButton);
    EXPECT_FALSE(choix()->isVisible());
    EXPECT_EQ(etat().MontantAPayer, Monnaie::depuisCentimes(21990));
    traiterEvenements();
    EXPECT_TRUE(m_screens.fnAcceuil()->isVisible());
}

} // namespace
