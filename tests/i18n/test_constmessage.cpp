#include "i18n/constmessage.h"
#include "kiosktest.h"
#include "startup/installations.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"

#include <QLabel>
#include <memory>
#include <optional>

using namespace Movendi::I18n;
using namespace Movendi::State;
using namespace Movendi::Startup;

namespace {

// Customer screens built by the test; like the kiosk's, they are created on first request.
class EcransDeTest final : public Ecrans
{
public:
    void charger() override {}
    bool accueilCharge() const override { return m_accueil != nullptr; }
    QList<QWidget *> ecransClients() override
    {
        ++m_demandes;
        if (!m_accueil) {
            m_modePaiementAuChargement = etat().Messages.MsgModePaiement;
            m_accueil = std::make_unique<QWidget>();
            m_accueil->setObjectName(QStringLiteral("FnAcceuil"));
            m_accueil->setWindowTitle(QStringLiteral("acceuil"));
            m_prix = new QLabel(QStringLiteral("Prix:"), m_accueil.get());
            m_prix->setObjectName(QStringLiteral("Label4"));
        }
        return {m_accueil.get(), nullptr};
    }
    void afficherAccueil() override {}
    void relancerTimerRetourAutomatique() override {}
    void arreterTimerRetourAutomatique() override {}
    void cacherEcransVente() override {}
    void dechargerRemplissage() override {}
    void montrerAccueil() override {}
    void arreterAnimation() override {}
    QWidget *accueil() const override { return m_accueil.get(); }

    std::unique_ptr<QWidget> m_accueil;
    QLabel *m_prix = nullptr;
    int m_demandes = 0;
    QString m_modePaiementAuChargement;
};

class ChargerMessagesTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        writeFile(QStringLiteral("french.LNG"), "[FnAcceuil]\nLabel4.Caption=Prix :\n");
        writeFile(QStringLiteral("English.lng"),
                  "[FnAcceuil]\nacceuil=acceuil EN\nLabel4.Caption=Price:\n");
    }

    EcransDeTest m_ecrans;
    std::optional<InstalledEcrans> m_installes{std::in_place, &m_ecrans};
    // The start-up state is rebuilt for each test: always reach the current one.
    static const TableMessages &messages() { return etat().Messages; }
};

TEST_F(ChargerMessagesTest, UnknownCode_ChangesNeitherMessagesNorCaptions)
{
    ChargerMessages(QStringLiteral("FR"));
    etat().Messages.MsgMerci = QStringLiteral("avant");
    for (const char *code : {"en", "", "fr", "FR ", "ENG"})
        ChargerMessages(QString::fromLatin1(code));
    EXPECT_EQ(messages().MsgMerci, QStringLiteral("avant"));
    EXPECT_EQ(messages().MsgInsererCarte, QStringLiteral("INSÉRER VOTRE CARTE BANCAIRE !"));
    EXPECT_EQ(m_ecrans.m_prix->text(), QStringLiteral("Prix :"));
    EXPECT_EQ(m_ecrans.m_demandes, 1);
}

TEST_F(ChargerMessagesTest, French_ExactTextsFilledBeforeScreensLoadAndLangueKept)
{
    etat().Langue = QStringLiteral("EN");
    ChargerMessages(QStringLiteral("FR"));
    EXPECT_EQ(messages().MsgInsererCarte, QStringLiteral("INS\u00C9RER VOTRE CARTE BANCAIRE !"));
    EXPECT_EQ(messages().MsgDistributionEnCours,
              QStringLiteral("Distribution en cours\r\nVeuillez patientier..."));
    EXPECT_EQ(messages().MsgHT, QStringLiteral("HT:      "));
    EXPECT_EQ(messages().MsgArticlesADistribuer, QStringLiteral(" Article(s) à distribuer"));
    EXPECT_EQ(messages().MsgPatientez, QStringLiteral("PATIENTEZ..."));
    EXPECT_EQ(m_ecrans.m_modePaiementAuChargement,
              QStringLiteral("Choisissez votre mode de paiement"));
    EXPECT_EQ(m_ecrans.m_prix->text(), QStringLiteral("Prix :")); // "french.LNG" on disk
    EXPECT_EQ(etat().Langue, QStringLiteral("EN"));
}

TEST_F(ChargerMessagesTest, English_KeepsFrenchWhereNoEnglishAndTranslatesScreens)
{
    ChargerMessages(QStringLiteral("FR"));
    etat().Messages.MsgPatientez = QStringLiteral("PATIENTEZ (chargé au départ)");
    ChargerMessages(QStringLiteral("EN"));
    EXPECT_EQ(messages().MsgModePaiement, QStringLiteral("Choisissez votre mode de paiement"));
    EXPECT_EQ(messages().MsgMonnaieInsuffisante, QStringLiteral("Stock de monnaie insuffisant!"));
    EXPECT_EQ(messages().MsgHT, QStringLiteral("HT:      "));
    EXPECT_EQ(messages().MsgTotalTTC, QStringLiteral("Total TTC:"));
    EXPECT_EQ(messages().MsgPatientez, QStringLiteral("PATIENTEZ (chargé au départ)"));
    EXPECT_EQ(messages().MsgInsererCarte, QStringLiteral("INSERT YOUR CARD !"));
    EXPECT_EQ(messages().MsgDistributionEnCours, QStringLiteral("Please wait is working ..."));
    EXPECT_EQ(messages().MsgContacterResponsable, QStringLiteral("Contact the sercice: "));
    EXPECT_EQ(messages().MsgArticlesADistribuer,
              QStringLiteral(" item(s) have to be dispense out."));
    EXPECT_EQ(m_ecrans.m_accueil->windowTitle(), QStringLiteral("acceuil EN"));
    EXPECT_EQ(m_ecrans.m_prix->text(), QStringLiteral("Price:"));

    ChargerMessages(QStringLiteral("FR"));
    EXPECT_EQ(messages().MsgInsererCarte, QStringLiteral("INSÉRER VOTRE CARTE BANCAIRE !"));
    EXPECT_EQ(messages().MsgPatientez, QStringLiteral("PATIENTEZ..."));
    EXPECT_EQ(m_ecrans.m_prix->text(), QStringLiteral("Prix :"));
}

TEST_F(ChargerMessagesTest, EnglishFirstOrNoScreens_StillFillsTheTable)
{
    m_installes.reset(); // no screens
    ChargerMessages(QStringLiteral("EN"));
    EXPECT_EQ(messages().MsgPatientez, QStringLiteral("PATIENTEZ..."));
    EXPECT_EQ(messages().MsgTVA, QStringLiteral("VAT"));
    EXPECT_EQ(m_ecrans.m_demandes, 0);
}

} // namespace
