#include "platform/qtserialline.h"
#include "sale/ticketclient.h"
#include "ventetest.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>

using namespace Movendi;
using Money::Monnaie;
using State::etat;

namespace {

State::TableMessages messages(const char *langue)
{
    const State::TableMessages avant = etat().Messages;
    I18n::ChargerMessages(QLatin1String(langue));
    const State::TableMessages m = etat().Messages;
    etat().Messages = avant;
    return m;
}

Monnaie euros(int centimes)
{
    return Monnaie::depuisCentimes(centimes);
}

// ---- Pure parts of the ticket -------------------------------------------------------------

TEST(TicketClient, Tax_4990At196_GivesTheDescribedAmounts)
{
    const Sale::MontantsTaxe t = Sale::calculerTaxe(euros(4990), 0.196);
    EXPECT_EQ(t.TTC, euros(4990));
    EXPECT_EQ(t.HT, Monnaie::depuisUnites(417224)); // 49.90 / 1.196 = 41.72240...
    EXPECT_EQ(t.TVA, Monnaie::depuisUnites(81776));
    EXPECT_EQ(Sale::texteMontantTicket(t.HT), QStringLiteral("41,72"));
    EXPECT_EQ(Sale::texteMontantTicket(t.TVA), QStringLiteral("8,18"));
    EXPECT_EQ(Sale::texteMontantTicket(t.TTC), QStringLiteral("49,90"));
}

TEST(TicketClient, Tax_OtherRate)
{
    // 120.00 at 5.5 %: 120 / 1.055 = 113.74407... -> 113.7441.
    const Sale::MontantsTaxe t = Sale::calculerTaxe(euros(12000), 0.055);
    EXPECT_EQ(t.HT, Monnaie::depuisUnites(1137441));
    EXPECT_EQ(t.TVA, Monnaie::depuisUnites(62559));
    EXPECT_EQ(t.HT + t.TVA, t.TTC);
}

TEST(TicketClient, TaxLines_PrintedAmountsAddUpAtAHalfCent)
{
    // 4.79 / 1.196 = 4.00501... -> HT 4.0050, TVA 0.7850: each rounded alone they would print
    // 4,01 + 0,79 under a total of 4,79.
    const Sale::MontantsTaxe t = Sale::calculerTaxe(euros(479), 0.196);
    EXPECT_EQ(t.HT, Monnaie::depuisUnites(40050));
    Sale::PiedTicket pied;
    pied.montantAPayer = euros(479);
    pied.tauxTVA = 0.196;
    const QStringList lignes = Sale::lignesPiedTicket(pied, messages("FR"));
    ASSERT_GE(lignes.size(), 4);
    EXPECT_EQ(lignes.at(1), QStringLiteral("HT:      \t\t\t4,01 EUR"));
    EXPECT_EQ(lignes.at(2), QStringLiteral("TVA 19,6: \t\t\t0,78 EUR"));
    EXPECT_EQ(lignes.at(3), QStringLiteral("Total TTC:\t\t\t4,79 EUR"));
}

TEST(TicketClient, AmountText_TwoDecimalsCommaNoGrouping)
{
    EXPECT_EQ(Sale::texteMontantTicket(euros(129900)), QStringLiteral("1299,00"));
    EXPECT_EQ(Sale::texteMontantTicket(euros(5)), QStringLiteral("0,05"));
    EXPECT_EQ(Sale::texteMontantTicket(euros(-500)), QStringLiteral("-5,00"));
    EXPECT_EQ(Sale::texteMontantTicket(Monnaie::depuisUnites(49)), QStringLiteral("0,00"));
    EXPECT_EQ(Sale::texteMontantTicket(Monnaie::depuisUnites(50)), QStringLiteral("0,01"));
    EXPECT_EQ(Sale::texteMontantTicket(Monnaie()), QStringLiteral("0,00"));
}

TEST(TicketClient, RateText_PlainDecimalWithComma)
{
    EXPECT_EQ(Sale::texteTauxTicket(0.196 * 100.0), QStringLiteral("19,6"));
    EXPECT_EQ(Sale::texteTauxTicket(5.5), QStringLiteral("5,5"));
    EXPECT_EQ(Sale::texteTauxTicket(20.0), QStringLiteral("20"));
}

TEST(TicketClient, Designation_TopUpEuroSignBecomesE)
{
    EXPECT_EQ(Sale::designationTicket(QStringLiteral("Recharge prépayée 10 €"), true),
              QStringLiteral("Recharge prépayée 10 E"));
    // The article keeps its sign; a top-up not ending in one keeps its last character.
    EXPECT_EQ(Sale::designationTicket(QStringLiteral("Coque 5 €"), false),
              QStringLiteral("Coque 5 €"));
    EXPECT_EQ(Sale::designationTicket(QStringLiteral("Prepaid top-up €10"), true),
              QStringLiteral("Prepaid top-up €10"));
    EXPECT_EQ(Sale::designationTicket(QString(), true), QString());
}

TEST(TicketClient, Header_AllLinesInOrder)
{
    const Sale::InfoSocieteVente societe{QStringLiteral("Nom"),   QStringLiteral("1 rue A"),
                                         QStringLiteral("Lyon"),  QStringLiteral("69002"),
                                         QStringLiteral("04 00"), QString()};
    const QStringList lignes =
        Sale::lignesEnTeteTicket(societe, QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)),
                                 QStringLiteral("DA7"), 12, messages("FR"));
    EXPECT_EQ(lignes, (QStringList{QStringLiteral("1 rue A"), QStringLiteral("69002  Lyon"),
                                   QStringLiteral("04 00"), QString(),
                                   QStringLiteral("04/03/2026 09:05:07"), QString(),
                                   QStringLiteral("Facture No: DA712"), QString(43, u'_')}));
}

TEST(TicketClient, Header_EmptyTownGivesNoPostcodeLine)
{
    const Sale::InfoSocieteVente societe{QStringLiteral("Nom"),   QString(), QString(),
                                         QStringLiteral("69002"), QString(), QString()};
    const QStringList lignes =
        Sale::lignesEnTeteTicket(societe, QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)),
                                 QStringLiteral("DA7"), 3, messages("EN"));
    EXPECT_EQ(lignes, (QStringList{QString(), QStringLiteral("04/03/2026 09:05:07"), QString(),
                                   QStringLiteral("Invoice # DA73"), QString(43, u'_')}));
    for (const QString &l : lignes)
        EXPECT_FALSE(l.contains(QStringLiteral("69002")));
}

TEST(TicketClient, Item_DesignationAndPrice)
{
    EXPECT_EQ(Sale::lignesArticleTicket(QStringLiteral("Nokia"), euros(2490), messages("FR")),
              (QStringList{QStringLiteral("Nokia"), QStringLiteral("Montant: \t\t\t24,90 EUR")}));
    EXPECT_EQ(Sale::lignesArticleTicket(QStringLiteral("Nokia"), euros(2490), messages("EN")).at(1),
              QStringLiteral("Amount: \t\t\t24,90 EUR"));
}

TEST(TicketClient, Footer_GoodDelivery)
{
    Sale::PiedTicket pied;
    pied.montantAPayer = euros(4990);
    pied.tauxTVA = 0.196;
    pied.rechargeAServir = false; // not read without a failure
    pied.tel = QStringLiteral("04 00");
    QStringList attendu{QString(43, u'_'),
                        QStringLiteral("HT:      \t\t\t41,72 EUR"),
                        QStringLiteral("TVA 19,6: \t\t\t8,18 EUR"),
                        QStringLiteral("Total TTC:\t\t\t49,90 EUR"),
                        QString(),
                        QStringLiteral("MERCI A BIENTOT")};
    for (int i = 0; i < 6; ++i)
        attendu << QString();
    EXPECT_EQ(Sale::lignesPiedTicket(pied, messages("FR")), attendu);
}

TEST(TicketClient, Footer_FailedTopUpGetsItsOwnLines)
{
    Sale::PiedTicket pied;
    pied.montantAPayer = euros(19990);
    pied.tauxTVA = 0.196;
    pied.echecDistribution = true;
    pied.rechargeAServir = false;
    pied.prixRechargeCentimes = 1000;
    pied.tel = QStringLiteral("04 00");
    const QStringList lignes = Sale::lignesPiedTicket(pied, messages("FR"));
    const QStringList attendu{QStringLiteral("Total TTC:\t\t\t199,90 EUR"),
                              QStringLiteral("PB. DISTRIBUTION"),
                              QString(),
                              QStringLiteral(" Recharge de "),
                              QStringLiteral("Montant: \t\t\t10,00 EUR"),
                              QString(),
                              QStringLiteral("Contacter le responsable au No de tel: "),
                              QStringLiteral("04 00  pour toute reclamation"),
                              QString(),
                              QStringLiteral("MERCI A BIENTOT")};
    ASSERT_EQ(lignes.size(), 4 + 9 + 6);
    EXPECT_EQ(lignes.mid(3, 10), attendu);

    // The top-up served, the article not: no top-up lines.
    pied.rechargeAServir = true;
    const QStringList sansRecharge = Sale::lignesPiedTicket(pied, messages("FR"));
    EXPECT_EQ(sansRecharge.size(), 4 + 6 + 6);
    EXPECT_FALSE(sansRecharge.contains(QStringLiteral(" Recharge de ")));
    EXPECT_TRUE(sansRecharge.contains(QStringLiteral("PB. DISTRIBUTION")));
}

TEST(TicketClient, Footer_EnglishKeepsFrenchTaxWords)
{
    Sale::PiedTicket pied;
    pied.montantAPayer = euros(4990);
    pied.tauxTVA = 0.196;
    pied.echecDistribution = true;
    pied.tel = QStringLiteral("04 00");
    const QStringList lignes = Sale::lignesPiedTicket(pied, messages("EN"));
    EXPECT_EQ(lignes.at(1), QStringLiteral("HT:      \t\t\t41,72 EUR"));
    EXPECT_EQ(lignes.at(2), QStringLiteral("VAT 19,6: \t\t\t8,18 EUR"));
    EXPECT_EQ(lignes.at(3), QStringLiteral("Total TTC:\t\t\t49,90 EUR"));
    EXPECT_EQ(lignes.at(4), QStringLiteral("DELIVERY PROBLEM"));
    EXPECT_EQ(lignes.at(5), QString());
    EXPECT_EQ(lignes.at(6), QStringLiteral(" Refill of "));
    EXPECT_TRUE(lignes.contains(QStringLiteral("TANK YOU")));
}

TEST(TicketClient, PrinterText_Windows1252)
{
    EXPECT_EQ(Sale::octetsImprimante(QStringLiteral("é€…")), QByteArray("\xe9\x80\x85"));
    // The bank ticket is read as Latin-1: its control bytes go back unchanged.
    EXPECT_EQ(Sale::octetsImprimante(QString(QChar(0x85)) + QChar(0x81)), QByteArray("\x85\x81"));
    EXPECT_EQ(Sale::octetsImprimante(QStringLiteral("a\u4e2db")), QByteArray("a?b"));
}

TEST(TicketClient, PrintBytes_ExactSequence)
{
    const QByteArray octets =
        Sale::octetsImpression(QStringLiteral("CB 49,90"), QStringLiteral("Société"),
                               QStringLiteral("\r\nRecharge 10 E\r\n€"));
    const QByteArray attendu =
        QByteArray("CB 49,90\r\n\n") + "..............................................\r\n\n" +
        QByteArray("\x1b\x21\x28", 3) + "Soci\xe9t\xe9\n" + QByteArray("\x1b\x21\x00", 3) +
        "\r\nRecharge 10 E\r\n\x80\n" + QByteArray("\x1b\x69\r\n", 4);
    EXPECT_EQ(octets, attendu);
    const QList<QByteArray> morceaux = Sale::morceauxImpression(
        QStringLiteral("CB 49,90"), QStringLiteral("Société"), QStringLiteral("x"));
    ASSERT_EQ(morceaux.size(), 7);
    EXPECT_EQ(morceaux.at(1).count('.'), 46);
    EXPECT_EQ(morceaux.at(2), QByteArray("\x1b!(", 3));
    EXPECT_EQ(morceaux.at(4), QByteArray("\x1b!\0", 3));
}

TEST(TicketClient, AddLine_CrLfBeforeEachLine)
{
    Sale::EtatVente vente;
    Sale::AjoutLigneTicket(vente, QStringLiteral("a"));
    Sale::AjoutLigneTicket(vente, QString());
    Sale::AjoutLigneTicket(vente, QStringLiteral("b"));
    EXPECT_EQ(vente.TicketText, QStringLiteral("\r\na\r\n\r\nb"));
}

// ---- Printing ------------------------------------------------------------------------------

class TicketImpression : public Test::VenteTest
{
protected:
    void SetUp() override
    {
        VenteTest::SetUp();
        etatVente().TicketText = QStringLiteral("\r\nNokia 105\r\nMontant: \t\t\t24,90 EUR");
        m_lien.etat().CustomerTicketText = QStringLiteral("CARTE BANCAIRE\r\n24,90 EUR");
    }
    static QByteArray attendu()
    {
        return QByteArray("CARTE BANCAIRE\r\n24,90 EUR\r\n\n") + QByteArray(46, '.') +
               "\r\n\n\x1b!(Movendi Distribution\n" + QByteArray("\x1b!\0", 3) +
               "\r\nNokia 105\r\nMontant: \t\t\t24,90 EUR\n\x1bi\r\n";
    }
    QString prompt() const { return m_ecran->MonnaieDispo()->text(); }
};

TEST_F(TicketImpression, TicketOn_PrinterGetsExactlyTheBytes_ThenPromptForFourSeconds)
{
    QString pendant;
    m_clock.callAfter(3900, [&] { pendant = prompt(); });
    const qint64 avant = m_clock.monotonicMs();
    Sale::ImprimerTicket(vente());
    EXPECT_GE(m_clock.monotonicMs() - avant, 4000);
    EXPECT_LT(m_clock.monotonicMs() - avant, 4100);
    EXPECT_EQ(pendant, QStringLiteral("PRENEZ VOTRE TICKET !"));
    EXPECT_FALSE(m_poste.ligneImprimante().isOpen());
    EXPECT_EQ(imprime(attendu().size()), attendu());
    EXPECT_EQ(journalCount(QStringLiteral("ImprimerTicket")), 0);
    EXPECT_TRUE(
        m_imprimante.text().contains(QStringLiteral("[GRAS]Movendi Distribution\n[NORMAL]")))
        << m_imprimante.text().toStdString();
}

TEST_F(TicketImpression, TwoTickets_PortOpenedAgainForEach)
{
    Sale::ImprimerTicket(vente());
    Sale::ImprimerTicket(vente());
    EXPECT_EQ(imprime(2 * attendu().size()), attendu() + attendu());
}

TEST_F(TicketImpression, TicketOffAndGoodDelivery_NothingPrintedButPromptShown)
{
    etat().TicketActif = false;
    QString pendant;
    m_clock.callAfter(3900, [&] { pendant = prompt(); });
    const qint64 avant = m_clock.monotonicMs();
    Sale::ImprimerTicket(vente());
    EXPECT_GE(m_clock.monotonicMs() - avant, 4000);
    EXPECT_EQ(pendant, QStringLiteral("PRENEZ VOTRE TICKET !"));
    EXPECT_TRUE(rienImprime());
}

TEST_F(TicketImpression, TicketOffAndFailedDelivery_Printed)
{
    etat().TicketActif = false;
    etatVente().EchecDistribution = true;
    Sale::ImprimerTicket(vente());
    EXPECT_EQ(imprime(attendu().size()), attendu());
    EXPECT_EQ(prompt(), QStringLiteral("PRENEZ VOTRE TICKET !"));
}

TEST_F(TicketImpression, EnglishPrompt)
{
    I18n::ChargerMessages(QStringLiteral("EN"));
    Sale::ImprimerTicket(vente());
    EXPECT_EQ(prompt(), QStringLiteral("TAKE YOUR TICKET !"));
}

TEST_F(TicketImpression, MissingPort_JournalledAndNoPrompt)
{
    brancherImprimante(path(QStringLiteral("dev/absente")));
    m_ecran->MonnaieDispo()->setText(QStringLiteral("avant"));
    const qint64 avant = m_clock.monotonicMs();
    Sale::ImprimerTicket(vente());
    EXPECT_LT(m_clock.monotonicMs() - avant, 4000);
    EXPECT_EQ(prompt(), QStringLiteral("avant"));
    ASSERT_EQ(journalCount(QStringLiteral("ImprimerTicket")), 1);
    EXPECT_TRUE(journalRows().last().erreur.startsWith(QStringLiteral("N°: 8002 ")))
        << journalRows().last().erreur.toStdString();
    EXPECT_TRUE(journalRows().last().erreur.contains(QStringLiteral("dev/absente")));
}

TEST_F(TicketImpression, BusyPort_JournalledThenTheNextTicketPrints)
{
    brancherSimulateur();
    Platform::QtSerialLine autre(etat().CheminIni);
    ASSERT_TRUE(autre.open(PortImprimante, QStringLiteral("19200,N,8,1")))
        << autre.errorText().toStdString();
    Sale::ImprimerTicket(vente());
    EXPECT_EQ(journalCount(QStringLiteral("ImprimerTicket")), 1);
    EXPECT_FALSE(m_poste.ligneImprimante().isOpen());
    EXPECT_TRUE(rienImprime(&autre));

    autre.close();
    Sale::ImprimerTicket(vente());
    EXPECT_EQ(imprime(attendu().size()), attendu());
    EXPECT_EQ(journalCount(QStringLiteral("ImprimerTicket")), 1);
}

// ---- The printer simulator the tests and the demo use ---------------------------------------

class TicketSimulateur : public Test::KioskTest
{
};

TEST_F(TicketSimulateur, RecordsEveryByteRendersTextAndOutlivesThePortClosing)
{
    const QString lien = path(QStringLiteral("imprimante"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("ailleurs")), lien));
    const QString ini = path(QStringLiteral("RURUDIZ.ini"));
    Platform::writeProfileString(ini, QStringLiteral("PortCom"), QStringLiteral("Port2"), lien);
    {
        Movendi::Test::PrinterSimulator simulateur;
        ASSERT_TRUE(simulateur.start(lien));
        EXPECT_EQ(QFileInfo(lien).symLinkTarget(), simulateur.devicePath());

        Platform::QtSerialLine ligne(ini);
        ASSERT_TRUE(ligne.open(2, QStringLiteral("19200,N,8,1")))
            << ligne.errorText().toStdString();
        // An ESC sequence split over two writes, and the port closed and opened again.
        ASSERT_TRUE(ligne.write(QByteArray("CB\r\n\n\x1b", 6)));
        ASSERT_TRUE(ligne.write(QByteArray("!(Soci\xe9t\xe9\n\x1b!\0", 13)));
        ligne.close();
        ASSERT_TRUE(ligne.open(2, QStringLiteral("19200,N,8,1")))
            << ligne.errorText().toStdString();
        ASSERT_TRUE(ligne.write(QByteArray("\r\nRecharge 10 \x80\tx\ry\x07\n\x1bi\r\n", 25)));
        ligne.close();

        const QByteArray tout = QByteArray("CB\r\n\n\x1b!(Soci\xe9t\xe9\n\x1b!\0", 19) +
                                "\r\nRecharge 10 \x80\tx\ry\x07\n\x1bi\r\n";
        ASSERT_TRUE(simulateur.waitForBytes(tout.size()));
        // The rendering follows the raw bytes; its end is the cut.
        EXPECT_TRUE(Movendi::Test::HelperProcess::waitUntil(
            [&] { return simulateur.text().endsWith(QStringLiteral("[COUPE]\n")); }, 3000));
        EXPECT_EQ(simulateur.bytes().toHex().toStdString(), tout.toHex().toStdString());
        EXPECT_EQ(simulateur.text(),
                  QStringLiteral("CB\n\n[GRAS]Société\n[NORMAL]\nRecharge 10 €\txy\n[COUPE]\n"));
        EXPECT_TRUE(simulateur.isRunning());
    }
    EXPECT_FALSE(QFileInfo(lien).isSymLink());
}

} // namespace
