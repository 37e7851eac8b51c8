#include "sale/enregistrement.h"
#include "state/disponibilite.h"
#include "store/storedatabase.h"
#include "ventetest.h"

#include <QFile>
#include <QLabel>

using namespace Movendi;
using Money::Monnaie;
using State::etat;
using Store::ResultatRequete;
using Store::StoreDatabase;

namespace {

const QString prenez = QStringLiteral("PRENEZ VOTRE TICKET !");

class Enregistrement : public Test::VenteTest
{
protected:
    void SetUp() override
    {
        VenteTest::SetUp();
        Payment::EtatPaiement &p = m_lien.etat();
        p.CardNumber = QStringLiteral("497010******1234");
        p.RemittanceNumber = 42;
        p.MerchantTicketText = QStringLiteral("TICKET COMMERCANT\r\nMONTANT 209,90 EUR");
        p.CustomerTicketText = QStringLiteral("TICKET CLIENT\r\nMONTANT 209,90 EUR");
    }

    // A phone sold with a 10-euro top-up, both delivered.
    void telephoneEtRecharge()
    {
        Sale::EtatVente &v = etatVente();
        v.ReferenceChoisie = 101;
        v.MontantAPayer = Monnaie::depuisCentimes(20990);
        v.LigneRecharge = {true, 201, 1000};
        v.ArticleServi = {QStringLiteral("356938035643809"), QStringLiteral("8933150319000012345"),
                          QStringLiteral("CMD-0042"), QString()};
        v.RechargeServie = {QString(), QStringLiteral("RC10-000777"), QStringLiteral("CMD-0043"),
                            QStringLiteral("3760123002010")};
    }

    ResultatRequete lire(const QString &sql) const
    {
        StoreDatabase base;
        return base.lire(sql);
    }
    ResultatRequete ventes() const
    {
        return lire(QStringLiteral("SELECT * FROM Ventes ORDER BY NumVente"));
    }
    ResultatRequete details() const
    {
        return lire(QStringLiteral("SELECT * FROM DetailVente ORDER BY Id"));
    }
    void sql(const QString &statement) const
    {
        StoreDatabase base;
        base.executer(statement);
    }
    QString ticketStocke() const
    {
        const ResultatRequete v = ventes();
        return v.estVide() ? QString() : v.valeur(0, QStringLiteral("Ticket")).toString();
    }
    static QString lignes(const QStringList &l)
    {
        QString t;
        for (const QString &ligne : l)
            t += QStringLiteral("\r\n") + ligne;
        return t;
    }
    static QStringList fin()
    {
        return {QString(), QStringLiteral("MERCI A BIENTOT"),
                QString(), QString(),
                QString(), QString(),
                QString(), QString()};
    }
};

TEST_F(Enregistrement, PhoneAndTopUp_OneSaleAndTwoDetailsWithTheSaleNumber)
{
    telephoneEtRecharge();
    Sale::EnregistrerCommande(vente());

    const ResultatRequete v = ventes();
    ASSERT_EQ(v.lignes.size(), 1);
    const qint64 numero = v.valeur(0, QStringLiteral("NumVente")).toLongLong();
    EXPECT_EQ(v.valeur(0, QStringLiteral("LaDate")).toString(),
              QStringLiteral("2026-12-08 10:00:00"));
    EXPECT_EQ(v.valeur(0, QStringLiteral("DateTelecollecte")).toString(),
              QStringLiteral("2026-12-08"));
    EXPECT_EQ(v.valeur(0, QStringLiteral("NoCBClient")).toString(),
              QStringLiteral("497010******1234"));
    EXPECT_EQ(v.valeur(0, QStringLiteral("IdentMachine")).toString(), QStringLiteral("DA-LYON-01"));
    EXPECT_EQ(v.valeur(0, QStringLiteral("NoRemiseTelecollecte")).toInt(), 42);

    const ResultatRequete d = details();
    ASSERT_EQ(d.lignes.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(d.valeur(i, QStringLiteral("NoVente")).toLongLong(), numero);
        EXPECT_EQ(d.valeur(i, QStringLiteral("Quantite")).toInt(), 1);
        EXPECT_DOUBLE_EQ(d.valeur(i, QStringLiteral("TVA")).toDouble(), 19.6);
        EXPECT_TRUE(d.valeur(i, QStringLiteral("SynchroServ")).isNull());
    }
    // The phone's row: its own IMEI and SIM, no voucher columns.
    EXPECT_EQ(d.valeur(0, QStringLiteral("RefProduit")).toInt(), 101);
    EXPECT_EQ(d.valeur(0, QStringLiteral("NoFamille")).toInt(), 1);
    EXPECT_EQ(StoreDatabase::monnaie(d.valeur(0, QStringLiteral("Montant"))),
              Monnaie::depuisCentimes(19990));
    EXPECT_EQ(StoreDatabase::monnaie(d.valeur(0, QStringLiteral("EcoTaxe"))),
              Monnaie::depuisCentimes(30));
    EXPECT_EQ(d.valeur(0, QStringLiteral("Designation")).toString(),
              QStringLiteral("Samsung Galaxy A15 128 Go"));
    EXPECT_EQ(d.valeur(0, QStringLiteral("NoIMEI")).toString(), QStringLiteral("356938035643809"));
    EXPECT_EQ(d.valeur(0, QStringLiteral("NoSIM")).toString(),
              QStringLiteral("8933150319000012345"));
    EXPECT_EQ(d.valeur(0, QStringLiteral("NoCommande")).toString(), QStringLiteral("CMD-0042"));
    EXPECT_TRUE(d.valeur(0, QStringLiteral("EAN13recharge")).isNull());
    EXPECT_TRUE(d.valeur(0, QStringLiteral("NoSerieRecharge")).isNull());
    // The voucher's row: its serial (the location's SIM column) and EAN-13.
    EXPECT_EQ(d.valeur(1, QStringLiteral("RefProduit")).toInt(), 201);
    EXPECT_EQ(d.valeur(1, QStringLiteral("NoFamille")).toInt(), 2);
    EXPECT_EQ(StoreDatabase::monnaie(d.valeur(1, QStringLiteral("Montant"))),
              Monnaie::depuisCentimes(1000));
    EXPECT_EQ(d.valeur(1, QStringLiteral("Designation")).toString(),
              QStringLiteral("Recharge prépayée 10 €"));
    EXPECT_EQ(d.valeur(1, QStringLiteral("NoSerieRecharge")).toString(),
              QStringLiteral("RC10-000777"));
    EXPECT_EQ(d.valeur(1, QStringLiteral("EAN13recharge")).toString(),
              QStringLiteral("3760123002010"));
    EXPECT_EQ(d.valeur(1, QStringLiteral("NoCommande")).toString(), QStringLiteral("CMD-0043"));
    EXPECT_TRUE(d.valeur(1, QStringLiteral("NoIMEI")).isNull());
    EXPECT_TRUE(d.valeur(1, QStringLiteral("NoSIM")).isNull());
}

TEST_F(Enregistrement, Ticket_ComposedStoredWithTheMerchantCopyAndPrinted)
{
    telephoneEtRecharge();
    QString pendant;
    m_clock.callAfter(3000, [&] { pendant = m_ecran->LabelChoisisser()->text(); });
    const qint64 avant = m_clock.monotonicMs();
    Sale::EnregistrerCommande(vente());
    EXPECT_GE(m_clock.monotonicMs() - avant, 4000);
    EXPECT_EQ(pendant, prenez);
    EXPECT_EQ(m_ecran->MonnaieDispo()->text(), prenez);

    const QString numero = ventes().valeur(0, QStringLiteral("NumVente")).toString();
    // 209.90 / 1.196 = 175.50167... -> HT 175.5017, TVA 34.3983.
    const QString ticket = lignes(QStringList{
                                      QStringLiteral("14 rue de la République"),
                                      QStringLiteral("69002  Lyon"),
                                      QStringLiteral("04 78 42 17 60"),
                                      QString(),
                                      QStringLiteral("08/12/2026 10:00:00"),
                                      QString(),
                                      QStringLiteral("Facture No: DA-LYON-01") + numero,
                                      QString(43, u'_'),
                                      QStringLiteral("Samsung Galaxy A15 128 Go"),
                                      QStringLiteral("Montant: \t\t\t199,90 EUR"),
                                      QStringLiteral("Recharge prépayée 10 E"),
                                      QStringLiteral("Montant: \t\t\t10,00 EUR"),
                                      QString(43, u'_'),
                                      QStringLiteral("HT:      \t\t\t175,50 EUR"),
                                      QStringLiteral("TVA 19,6: \t\t\t34,40 EUR"),
                                      QStringLiteral("Total TTC:\t\t\t209,90 EUR"),
                                  } +
                                  fin());
    EXPECT_EQ(etatVente().TicketText, ticket);
    EXPECT_EQ(ticketStocke(), ticket + QString(43, u'.') +
                                  QStringLiteral("\r\nTICKET COMMERCANT\r\nMONTANT 209,90 EUR"));

    QByteArray texte = ticket.toLatin1(); // the only non-ASCII characters are Latin-1 ones
    const QByteArray attendu = QByteArray("TICKET CLIENT\r\nMONTANT 209,90 EUR\r\n\n") +
                               QByteArray(46, '.') + "\r\n\n\x1b!(Movendi Distribution\n" +
                               QByteArray("\x1b!\0", 3) + texte + "\n\x1bi\r\n";
    EXPECT_TRUE(texte.contains("R\xe9publique"));
    EXPECT_EQ(imprime(attendu.size()), attendu);
}

TEST_F(Enregistrement, ArticleNotDelivered_RowAtCataloguePriceAndTicketAtTheReducedAmount)
{
    telephoneEtRecharge();
    // As the delivery leaves it: the phone's door did not open, only the top-up is charged.
    etatVente().EchecDistribution = true;
    etatVente().ArticleServi = {};
    etatVente().MontantAPayer = Monnaie::depuisCentimes(1000);
    Sale::EnregistrerCommande(vente());

    const ResultatRequete d = details();
    ASSERT_EQ(d.lignes.size(), 2);
    EXPECT_EQ(StoreDatabase::monnaie(d.valeur(0, QStringLiteral("Montant"))),
              Monnaie::depuisCentimes(19990));
    EXPECT_EQ(d.valeur(0, QStringLiteral("NoIMEI")).toString(), QString());
    EXPECT_EQ(d.valeur(1, QStringLiteral("NoSerieRecharge")).toString(),
              QStringLiteral("RC10-000777"));

    const QString t = etatVente().TicketText;
    EXPECT_TRUE(t.contains(
        QStringLiteral("\r\nSamsung Galaxy A15 128 Go\r\nMontant: \t\t\t199,90 EUR\r\n")));
    // 10.00 / 1.196 = 8.36120... -> HT 8.3612, TVA 1.6388.
    EXPECT_TRUE(
        t.contains(QStringLiteral("\r\nHT:      \t\t\t8,36 EUR\r\nTVA 19,6: \t\t\t1,64 EUR\r\n"
                                  "Total TTC:\t\t\t10,00 EUR\r\nPB. DISTRIBUTION\r\n\r\n"
                                  "Contacter le responsable au No de tel: \r\n"
                                  "04 78 42 17 60  pour toute reclamation\r\n\r\n"
                                  "MERCI A BIENTOT")))
        << t.toStdString();
    EXPECT_FALSE(t.contains(QStringLiteral(" Recharge de ")));
    EXPECT_EQ(ticketStocke().left(t.size()), t);
    EXPECT_TRUE(m_imprimante.waitForBytes(1));
}

TEST_F(Enregistrement, TopUpNotDelivered_TicketShowsTheTopUpLines)
{
    telephoneEtRecharge();
    etatVente().EchecDistribution = true;
    etatVente().LigneRecharge.RechargeAServir = false;
    etatVente().RechargeServie = {};
    etatVente().MontantAPayer = Monnaie::depuisCentimes(19990);
    etat().TicketActif = false; // a failed delivery prints all the same
    Sale::EnregistrerCommande(vente());

    const ResultatRequete d = details();
    ASSERT_EQ(d.lignes.size(), 2);
    EXPECT_EQ(StoreDatabase::monnaie(d.valeur(1, QStringLiteral("Montant"))),
              Monnaie::depuisCentimes(1000));
    EXPECT_EQ(d.valeur(1, QStringLiteral("NoSerieRecharge")).toString(), QString());
    EXPECT_EQ(d.valeur(1, QStringLiteral("EAN13recharge")).toString(), QString());

    const QString t = etatVente().TicketText;
    EXPECT_TRUE(t.contains(QStringLiteral("Total TTC:\t\t\t199,90 EUR\r\nPB. DISTRIBUTION\r\n\r\n"
                                          " Recharge de \r\nMontant: \t\t\t10,00 EUR\r\n\r\n"
                                          "Contacter le responsable au No de tel: ")))
        << t.toStdString();
    ASSERT_TRUE(m_imprimante.waitForBytes(1));
    EXPECT_TRUE(m_imprimante.text().contains(QStringLiteral("PB. DISTRIBUTION")));
    EXPECT_TRUE(m_imprimante.text().contains(QStringLiteral("[COUPE]")));
}

TEST_F(Enregistrement, English_TicketInEnglishButTheRowsKeepFrenchDesignations)
{
    etat().Langue = QStringLiteral("EN");
    I18n::ChargerMessages(QStringLiteral("EN"));
    telephoneEtRecharge();
    Sale::EnregistrerCommande(vente());

    const ResultatRequete d = details();
    ASSERT_EQ(d.lignes.size(), 2);
    EXPECT_EQ(d.valeur(0, QStringLiteral("Designation")).toString(),
              QStringLiteral("Samsung Galaxy A15 128 Go"));
    EXPECT_EQ(d.valeur(1, QStringLiteral("Designation")).toString(),
              QStringLiteral("Recharge prépayée 10 €"));

    const QString t = etatVente().TicketText;
    EXPECT_TRUE(t.contains(QStringLiteral("\r\nInvoice # DA-LYON-01")));
    EXPECT_TRUE(
        t.contains(QStringLiteral("\r\nSamsung Galaxy A15 128 GB\r\nAmount: \t\t\t199,90 EUR")));
    // The English name does not end in a euro sign: printed as it is.
    EXPECT_TRUE(t.contains(QStringLiteral("\r\nPrepaid top-up €10\r\nAmount: \t\t\t10,00 EUR")))
        << t.toStdString();
    EXPECT_TRUE(t.contains(QStringLiteral("\r\nHT:      \t\t\t175,50 EUR\r\nVAT 19,6: ")));
    EXPECT_TRUE(t.contains(QStringLiteral("\r\nTotal TTC:\t\t\t209,90 EUR\r\n")));
    EXPECT_TRUE(t.contains(QStringLiteral("\r\nTANK YOU\r\n")));
    EXPECT_EQ(m_ecran->LabelChoisisser()->text(), QStringLiteral("TAKE YOUR TICKET !"));
    ASSERT_TRUE(m_imprimante.waitForBytes(1));
    EXPECT_TRUE(m_imprimante.bytes().contains("Prepaid top-up \x80"
                                              "10\r\n"));
}

TEST_F(Enregistrement, TicketOffGoodDelivery_RecordedNothingPrintedPromptShown)
{
    etat().TicketActif = false;
    telephoneEtRecharge();
    const qint64 avant = m_clock.monotonicMs();
    Sale::EnregistrerCommande(vente());
    EXPECT_GE(m_clock.monotonicMs() - avant, 4000);
    EXPECT_EQ(m_ecran->MonnaieDispo()->text(), prenez);
    EXPECT_EQ(details().lignes.size(), 2);
    EXPECT_FALSE(ticketStocke().isEmpty());
    EXPECT_TRUE(rienImprime());
}

TEST_F(Enregistrement, UnknownArticle_NoRowNoLinesTopUpStillRecorded)
{
    telephoneEtRecharge();
    etatVente().ReferenceChoisie = 999;
    Sale::EnregistrerCommande(vente());
    const ResultatRequete d = details();
    ASSERT_EQ(d.lignes.size(), 1);
    EXPECT_EQ(d.valeur(0, QStringLiteral("RefProduit")).toInt(), 201);
    const QString t = etatVente().TicketText;
    EXPECT_TRUE(t.contains(QString(43, u'_') + QStringLiteral("\r\nRecharge prépayée 10 E\r\n")));
    EXPECT_EQ(t.count(QStringLiteral("Montant: ")), 1);
}

TEST_F(Enregistrement, OtherFamily_IdentifierColumnsLeftUnset)
{
    sql(QStringLiteral(
        "INSERT INTO ArticleEnStock (Reference, Designation, Prix, EcoTaxe, Famille) "
        "VALUES (301, 'Coque', 99000, 0, 3)"));
    etatVente().ReferenceChoisie = 301;
    etatVente().MontantAPayer = Monnaie::depuisCentimes(990);
    etatVente().ArticleServi = {QStringLiteral("I"), QStringLiteral("S"), QStringLiteral("C"),
                                QStringLiteral("E")};
    Sale::EnregistrerCommande(vente());
    const ResultatRequete d = details();
    ASSERT_EQ(d.lignes.size(), 1);
    EXPECT_EQ(d.valeur(0, QStringLiteral("NoFamille")).toInt(), 3);
    EXPECT_EQ(d.valeur(0, QStringLiteral("NoCommande")).toString(), QStringLiteral("C"));
    for (const char *colonne : {"NoIMEI", "NoSIM", "EAN13recharge", "NoSerieRecharge"})
        EXPECT_TRUE(d.valeur(0, QLatin1String(colonne)).isNull()) << colonne;
}

TEST_F(Enregistrement, RefusedMidway_OneTransactionNothingKeptJournalledNothingPrinted)
{
    // The store refuses the voucher's detail row.
    sql(QStringLiteral("CREATE TRIGGER refus BEFORE INSERT ON DetailVente WHEN NEW.NoFamille = 2 "
                       "BEGIN SELECT RAISE(ABORT, 'detail refuse'); END"));
    telephoneEtRecharge();
    m_ecran->LabelChoisisser()->setText(QStringLiteral("avant"));
    const qint64 avant = m_clock.monotonicMs();
    Sale::EnregistrerCommande(vente());

    EXPECT_LT(m_clock.monotonicMs() - avant, 4000);
    // The sale, its details and its ticket go in together or not at all.
    EXPECT_TRUE(ventes().estVide());
    EXPECT_TRUE(details().estVide());
    ASSERT_EQ(journalCount(QStringLiteral("EnregistrerCommande")), 1);
    const QString entree = derniereEntree(QStringLiteral("EnregistrerCommande"));
    EXPECT_TRUE(entree.startsWith(QStringLiteral("N°: 3146 ")));
    EXPECT_TRUE(entree.contains(QStringLiteral("detail refuse")));
    EXPECT_EQ(m_ecran->LabelChoisisser()->text(), QStringLiteral("avant"));
    EXPECT_TRUE(rienImprime());
    // Out of service until the store takes the sale.
    EXPECT_FALSE(State::disponibilite().disponible());
}

TEST_F(Enregistrement, MissingTable_NothingWrittenAndJournalled)
{
    sql(QStringLiteral("DROP TABLE DetailVente"));
    telephoneEtRecharge();
    Sale::EnregistrerCommande(vente());
    EXPECT_TRUE(ventes().estVide());
    EXPECT_EQ(journalCount(QStringLiteral("EnregistrerCommande")), 1);
    EXPECT_TRUE(rienImprime());
}

TEST_F(Enregistrement, StoreUnreachable_Journalled)
{
    ASSERT_TRUE(QFile::remove(path(etat().NomBase + QStringLiteral(".db"))));
    telephoneEtRecharge();
    Sale::EnregistrerCommande(vente());
    ASSERT_EQ(journalCount(QStringLiteral("EnregistrerCommande")), 1);
    EXPECT_TRUE(derniereEntree(QStringLiteral("EnregistrerCommande"))
                    .startsWith(QStringLiteral("N°: 3343 ")));
    EXPECT_NE(m_ecran->MonnaieDispo()->text(), prenez);
    EXPECT_TRUE(rienImprime());
}

TEST_F(Enregistrement, MissingPrinter_SaleStoredAndJournalledUnderImprimerTicket)
{
    brancherImprimante(path(QStringLiteral("dev/absente")));
    telephoneEtRecharge();
    Sale::EnregistrerCommande(vente());
    EXPECT_FALSE(ticketStocke().isEmpty());
    EXPECT_EQ(journalCount(QStringLiteral("ImprimerTicket")), 1);
    EXPECT_EQ(journalCount(QStringLiteral("EnregistrerCommande")), 0);
}

TEST_F(Enregistrement, TwoSales_EachWithItsOwnNumberAndTicket)
{
    telephoneEtRecharge();
    Sale::EnregistrerCommande(vente());
    etatVente().ReferenceChoisie = 104;
    etatVente().MontantAPayer = Monnaie::depuisCentimes(2490);
    etatVente().LigneRecharge = {true, 0, 0};
    Sale::EnregistrerCommande(vente());

    const ResultatRequete v = ventes();
    ASSERT_EQ(v.lignes.size(), 2);
    const qint64 second = v.valeur(1, QStringLiteral("NumVente")).toLongLong();
    EXPECT_NE(second, v.valeur(0, QStringLiteral("NumVente")).toLongLong());
    const ResultatRequete d = details();
    ASSERT_EQ(d.lignes.size(), 3);
    EXPECT_EQ(d.valeur(2, QStringLiteral("NoVente")).toLongLong(), second);
    const QString t = v.valeur(1, QStringLiteral("Ticket")).toString();
    EXPECT_TRUE(t.contains(QStringLiteral("Facture No: DA-LYON-01%1\r\n").arg(second)));
    EXPECT_TRUE(t.contains(QStringLiteral("Nokia 105 (2023)")));
    EXPECT_FALSE(t.contains(QStringLiteral("Samsung")));
}

} // namespace
