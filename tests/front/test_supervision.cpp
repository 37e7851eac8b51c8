// The home screen's supervision on the clock seam: the hourly activity check, the nightly run
// and the remittance record.
#include "front/supervision.h"
#include "kiosktest.h"
#include "manualclock.h"
#include "payment/pontagetpvnew.h"
#include "payment/remittancereport.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"
#include "store/boiteenvoi.h"
#include "store/rapprochement.h"
#include "store/storedatabase.h"

#include <QJsonObject>

#include <QStringList>

#include <memory>
#include <optional>

using namespace Movendi;
using State::etat;
using Store::StoreDatabase;

namespace {

class SupervisionTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        useApplicationFolder();
        createJournal();
        etat().LocalisationMachine = QStringLiteral("Gare de Lyon");
        m_base = std::make_unique<StoreDatabase>();
        m_lien.reinitialiser();
    }
    void TearDown() override
    {
        m_horlogeInstallee.reset();
        m_base.reset();
        m_lien.reinitialiser();
        KioskTest::TearDown();
    }

    // A supervision whose every action is noted in m_appels.
    std::unique_ptr<Front::Supervision> supervision(int telecollecte = 255,
                                                    QList<int> rapports = {255})
    {
        Front::Supervision::Actions a;
        a.base = [this] { return m_base.get(); };
        a.arreterVideo = [this] { m_appels << QStringLiteral("ArreterVideo"); };
        a.lancerVideo = [this] { m_appels << QStringLiteral("LancerVideo"); };
        a.envoyerEmail = [this](const QString &sujet, const QString &corps) {
            m_mails << sujet + QStringLiteral(" | ") + corps;
        };
        a.demTC = [this, telecollecte](bool ecouter) {
            m_appels << QStringLiteral("DemTC(%1)").arg(ecouter);
            return telecollecte;
        };
        a.demTIC = [this, rapports]() mutable {
            m_appels << QStringLiteral("DemTIC");
            m_lien.etat().MerchantTicketText = m_impression;
            return rapports.size() > 1 ? rapports.takeFirst() : rapports.value(0);
        };
        a.sauvegarderDatabase = [this] { m_appels << QStringLiteral("SauvegarderDatabase"); };
        a.jourRapportFinDeMois = [] { return true; };
        a.jourRapportDebutDeMois = [] { return false; };
        a.exportCsv = [this] { m_appels << QStringLiteral("ExportCsv"); };
        a.rapportBordereauxRemiseBancaire = [this] {
            m_appels << QStringLiteral("RapportBordereauxRemiseBancaire");
        };
        return std::make_unique<Front::Supervision>(std::move(a), m_lien);
    }
    // The installed clock now reads this moment of the day.
    void heure(const QTime &moment)
    {
        m_horlogeInstallee.reset();
        m_horloge =
            std::make_unique<Movendi::Test::ManualClock>(QDateTime(QDate(2026, 12, 9), moment));
        m_horlogeInstallee.emplace(m_horloge.get());
    }
    Store::ResultatRequete telecollectes() const
    {
        return m_base->lire(QStringLiteral("SELECT * FROM Telecollectes ORDER BY Id"));
    }

    std::unique_ptr<StoreDatabase> m_base;
    Payment::LiaisonTerminal m_lien;
    std::unique_ptr<Movendi::Test::ManualClock> m_horloge;
    std::optional<Platform::InstalledClock> m_horlogeInstallee;
    QStringList m_appels;
    QStringList m_mails;
    QString m_impression;
};

// The print-out DemTIC lays out, from a report whose remittance record is given.
QString rapport(const QByteArray &enregistrement)
{
    QByteArray a(250, ' ');
    a.replace(0, 11, QByteArray("\x02") + "Aj238000" + "01");
    a.replace(203, 1, "1");
    a.replace(204, enregistrement.size(), enregistrement);
    return Payment::layOutRemittanceReport(a);
}

TEST_F(SupervisionTest, HourlyActivityCheck_AtEverySixtiethTickAlarmWithoutSales)
{
    EXPECT_EQ(Front::commandeControleVente(1), QStringLiteral("EXEC ControlVente 0.042"));
    EXPECT_EQ(Front::commandeControleVente(24), QStringLiteral("EXEC ControlVente 1.008"));
    struct Row
    {
        int intervalControl;
        int venteIlYaMinutes; // 0: no sale
        bool alarme;
    };
    const QList<Row> rows{
        {1, 0, true}, {24, 0, true}, {24, 120, false}, {1, 120, true}, {1, 30, false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.intervalControl * 1000 + row.venteIlYaMinutes);
        m_base->executer(QStringLiteral("DELETE FROM Ventes"));
        if (row.venteIlYaMinutes > 0)
            m_base->executer(
                QStringLiteral("INSERT INTO Ventes (LaDate) VALUES (?)"),
                {StoreDatabase::versBase(m_clock.now().addSecs(-60 * row.venteIlYaMinutes))});
        etat().IntervalControl = std::int16_t(row.intervalControl);
        m_mails.clear();
        const auto s = supervision();
        for (int tick = 1; tick < 60; ++tick)
            s->tickControl();
        EXPECT_TRUE(m_mails.isEmpty()) << "the check runs only at the 60th tick";
        s->tickControl();
        EXPECT_EQ(s->compteurHeures(), 0);
        if (row.alarme) {
            EXPECT_EQ(m_mails,
                      QStringList{QStringLiteral("Rapport d'activité DA téléphones mobiles | "
                                                 "DA de: Gare de Lyon\r\nAucune ventes effectuées "
                                                 "depuis plus de %1 heure(s)")
                                      .arg(row.intervalControl)});
        } else {
            EXPECT_TRUE(m_mails.isEmpty());
        }
    }
}

TEST_F(SupervisionTest, NightlyRun_OnceADayInsideTheWindowWhateverTheRemittanceGave)
{
    m_impression = rapport("100001000007000003EUR000000003750 000000");
    const QStringList suite = {QStringLiteral("SauvegarderDatabase"), QStringLiteral("ExportCsv"),
                               QStringLiteral("RapportBordereauxRemiseBancaire"),
                               QStringLiteral("LancerVideo")};
    struct Row
    {
        const char *cas;
        QList<QTime> appels; // the moments VerifierSauvegarde is called, the same day
        int telecollecte;
        QList<int> rapports;
        int appelsRapport;        // DemTIC calls
        int lignes;               // Telecollectes rows
        bool redemarrage = false; // the kiosk restarted between the calls
    };
    const QList<Row> rows{
        {"02:30:00 est avant la fenêtre", {QTime(2, 30)}, 255, {255}, 0, 0},
        {"02:45:00 est dedans", {QTime(2, 45)}, 255, {255}, 1, 1},
        {"02:45:01 est après", {QTime(2, 45, 1)}, 255, {255}, 0, 0},
        {"une fois par jour, même sans rien enregistré",
         {QTime(2, 40), QTime(2, 41)},
         1,
         {255},
         0,
         0},
        {"un rapport qui répond 1 quatre fois", {QTime(2, 40)}, 255, {1, 1, 1, 1, 1}, 4, 0},
        {"un rapport qui répond 2", {QTime(2, 40)}, 255, {2, 255}, 1, 0},
        {"un redémarrage dans la fenêtre ne remet pas",
         {QTime(2, 40), QTime(2, 41)},
         255,
         {255},
         1,
         1,
         true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.cas);
        m_base->executer(QStringLiteral("DELETE FROM Telecollectes"));
        m_base->executer(QStringLiteral("DELETE FROM EtatKiosque"));
        m_appels.clear();
        auto s = supervision(row.telecollecte, row.rapports);
        for (const QTime &moment : row.appels) {
            heure(moment);
            if (row.redemarrage && moment != row.appels.first())
                s = supervision(row.telecollecte, row.rapports);
            s->VerifierSauvegarde();
        }
        EXPECT_EQ(m_appels.count(QStringLiteral("DemTIC")), row.appelsRapport);
        EXPECT_EQ(telecollectes().lignes.size(), row.lignes);
        if (m_appels.contains(QStringLiteral("DemTC(1)"))) {
            EXPECT_EQ(m_appels.first(), QStringLiteral("ArreterVideo"));
            EXPECT_EQ(m_appels.count(QStringLiteral("DemTC(1)")), 1);
            // Backup and reports run whatever the remittance gave, then the film again.
            EXPECT_EQ(m_appels.mid(m_appels.size() - suite.size()), suite);
        } else {
            EXPECT_TRUE(m_appels.isEmpty());
        }
    }
}

TEST_F(SupervisionTest, RemittanceRecord_WhatThePrintOutGivesEvenWithoutItsAmount)
{
    struct Row
    {
        const char *cas;
        QString impression;
        qint64 noRemise;
        QVariant nbTransaction;
        qint64 montantUnites;
        bool journal;
    };
    const QList<Row> rows{
        {"le compte rendu de la télécollecte", rapport("100001000007000003EUR000000003750 000000"),
         7, 3, 375000, false},
        {"sans Nb Transaction",
         QStringLiteral("No Remise: 000012\r\nMONTANT TRANSACTION = \r\n\t12,50 EUR\r\n"), 12,
         QVariant(), 125000, false},
        // The amount's currency by its digits: the remittance is kept, its amount unread.
        {"MONTANT sans EUR", rapport("100001000009000002978000000001250 000000"), 9, 2, 0, true},
    };
    const auto s = supervision();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.cas);
        m_base->executer(QStringLiteral("DELETE FROM Telecollectes"));
        const int avant = int(journalRows().size());
        m_lien.etat().MerchantTicketText = row.impression;
        s->EnregistrerTelecollecte();
        const Store::ResultatRequete r = telecollectes();
        ASSERT_EQ(r.lignes.size(), 1);
        EXPECT_EQ(r.valeur(0, QStringLiteral("NoRemise")).toLongLong(), row.noRemise);
        EXPECT_EQ(r.valeur(0, QStringLiteral("NbTransaction")).isNull(),
                  row.nbTransaction.isNull());
        if (!row.nbTransaction.isNull()) {
            EXPECT_EQ(r.valeur(0, QStringLiteral("NbTransaction")).toInt(),
                      row.nbTransaction.toInt());
        }
        EXPECT_EQ(r.valeur(0, QStringLiteral("Montant")).toLongLong(), row.montantUnites);
        EXPECT_EQ(r.valeur(0, QStringLiteral("Ticket")).toString(), row.impression);
        EXPECT_EQ(r.valeur(0, QStringLiteral("LaDate")).toString(),
                  Platform::clock().now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        // (No sale in the store: each remittance is also journalled as a difference.)
        const QList<Movendi::Test::JournalRow> journal = journalRows().mid(avant);
        const auto illisible = std::find_if(journal.begin(), journal.end(), [](const auto &l) {
            return l.erreur.contains(QStringLiteral("montant illisible"));
        });
        EXPECT_EQ(illisible != journal.end(), row.journal);
        if (row.journal) {
            EXPECT_EQ(illisible->contexte, QStringLiteral("EnregistrerTelecollecte"));
        }
    }
}

// The night's remittance beside the debits the kiosk recorded since the one before: the same,
// one sale missing from the store, or a sale whose answer was lost that makes up the difference.
// A difference is journalled and mailed, and the remittance's event says it in every case.
TEST_F(SupervisionTest, Reconciliation_DifferenceJournalledMailedAndInTheEvent)
{
    struct Vente
    {
        qint64 centimes;
        int statutDebit; // 0 debited, 2 answer lost
    };
    struct Row
    {
        const char *cas;
        QList<Vente> ventes;
        qint64 nbDebits, montantLocal;
        bool ecart, explique;
    };
    const QList<Row> rows{
        {"toutes les ventes", {{1250, 0}, {1250, 0}, {1250, 0}}, 3, 3750, false, false},
        {"une vente absente de la base", {{1250, 0}, {1250, 0}}, 2, 2500, true, false},
        {"une vente à vérifier", {{1250, 0}, {1250, 0}, {1250, 2}}, 2, 2500, true, true},
    };
    heure(QTime(3, 0));
    const Store::BoiteEnvoiActivee boite;
    const auto s = supervision();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.cas);
        for (const char *table :
             {"JournalVente", "DetailVente", "Ventes", "Telecollectes", "BoiteEnvoi"})
            m_base->executer(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
        // A remittance the day before opens the period.
        m_base->executer(QStringLiteral("INSERT INTO Telecollectes (LaDate, NbTransaction, "
                                        "Montant, NoRemise) VALUES ('2026-12-08 03:00:00', 9, "
                                        "90000, 6)"));
        m_base->executer(QStringLiteral("INSERT INTO Ventes (LaDate, StatutDebit) VALUES "
                                        "('2026-12-08 02:00:00', 0)"));
        m_base->executer(QStringLiteral(
            "INSERT INTO JournalVente (Debut, Etape, RefArticle, MontantAutoriseCentimes, "
            "DebitEnvoye, ResultatDebit, MontantDebitCentimes, NumVente) VALUES ('x', 'fin', 1, "
            "900, 1, 255, 900, last_insert_rowid())"));
        for (const Vente &v : row.ventes) {
            const qint64 numero =
                m_base->inserer(QStringLiteral("INSERT INTO Ventes (LaDate, StatutDebit) VALUES "
                                               "('2026-12-08 14:00:00', ?)"),
                                {v.statutDebit});
            m_base->executer(
                QStringLiteral("INSERT INTO JournalVente (Debut, Etape, RefArticle, "
                               "MontantAutoriseCentimes, DebitEnvoye, ResultatDebit, "
                               "MontantDebitCentimes, NumVente) VALUES ('x', 'fin', 1, ?, 1, ?, "
                               "?, ?)"),
                {v.centimes,
                 v.statutDebit == 0 ? QVariant(255) : QVariant(QMetaType(QMetaType::Int)),
                 v.centimes, numero});
        }
        const int avant = int(journalRows().size());
        m_mails.clear();
        m_lien.etat().MerchantTicketText = rapport("100001000007000003EUR000000003750 000000");
        s->EnregistrerTelecollecte();

        const QList<Store::EvenementBoite> evenements = Store::lireBoiteEnvoi(*m_base, 0, 10);
        ASSERT_EQ(evenements.size(), 1);
        const QJsonObject e = evenements.first().champs;
        EXPECT_EQ(evenements.first().type, QStringLiteral("telecollecte"));
        EXPECT_EQ(e.value(QStringLiteral("noRemise")).toInt(), 7);
        EXPECT_EQ(e.value(QStringLiteral("nbTransactions")).toInt(), 3);
        EXPECT_EQ(e.value(QStringLiteral("montantCentimes")).toInteger(), 3750);
        const QJsonObject local = e.value(QStringLiteral("local")).toObject();
        EXPECT_EQ(local.value(QStringLiteral("nbDebits")).toInteger(), row.nbDebits);
        EXPECT_EQ(local.value(QStringLiteral("montantCentimes")).toInteger(), row.montantLocal);
        EXPECT_EQ(e.value(QStringLiteral("ecart")).toBool(), row.ecart);

        const QList<Movendi::Test::JournalRow> journal = journalRows().mid(avant);
        const bool journalise = std::any_of(journal.begin(), journal.end(), [](const auto &l) {
            return l.erreur.startsWith(QStringLiteral("Ecart de télécollecte: remise 7"));
        });
        EXPECT_EQ(journalise, row.ecart);
        EXPECT_EQ(m_mails.size(), row.ecart ? 1 : 0);
        if (row.ecart) {
            EXPECT_TRUE(m_mails.value(0).startsWith(QStringLiteral("Ecart de télécollecte | ")));
        }
        const QList<Store::LigneRapprochement> r =
            Store::rapprochement(*m_base, QDateTime(QDate(2026, 12, 9), QTime(0, 0)));
        ASSERT_EQ(r.size(), 1);
        EXPECT_EQ(r.first().expliqueParAVerifier, row.explique);
        EXPECT_EQ(r.first().aVerifier.size(), row.explique ? 1 : 0);
    }
}

} // namespace
