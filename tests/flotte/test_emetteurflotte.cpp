// The outbox published through a recording link: in seq order, a window at a time, deleted only
// once acknowledged, sent again from the oldest after a reconnection, and kept whole when the
// store refuses the deletion.
#include "config/reglagesflotte.h"
#include "disqueenpanne.h"
#include "flotte/emetteurflotte.h"
#include "kiosktest.h"
#include "platform/lienmqtt.h"
#include "state/etatdemarrage.h"
#include "store/boiteenvoi.h"
#include "store/storedatabase.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Movendi;

namespace {

class EmetteurFlotteTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        useApplicationFolder();
        createJournal();
        m_reglages.prefixe = QStringLiteral("movendi/v1");
        m_reglages.kiosque = QStringLiteral("K1");
    }
    void TearDown() override
    {
        Movendi::Test::DisqueEnPanne::panne(Movendi::Test::DisqueEnPanne::Panne::Aucune);
        KioskTest::TearDown();
    }
    void ecrire(int combien)
    {
        Store::StoreDatabase base;
        for (int i = 0; i < combien; ++i)
            Store::ajouterEvenementSeul(base, QStringLiteral("essai"), {});
    }
    // The seqs published on the events' topic from publication `depuis` on, and their ids.
    QList<qint64> publies(qsizetype depuis = 0) const
    {
        QList<qint64> seqs;
        const auto &p = m_lien.publications();
        for (qsizetype i = depuis; i < p.size(); ++i) {
            EXPECT_EQ(p.at(i).sujet, QStringLiteral("movendi/v1/K1/evenements"));
            EXPECT_EQ(p.at(i).qos, 1);
            EXPECT_FALSE(p.at(i).retenu);
            const QJsonObject o = QJsonDocument::fromJson(p.at(i).charge).object();
            const qint64 seq = o.value(QStringLiteral("seq")).toInteger();
            EXPECT_EQ(o.value(QStringLiteral("id")).toString(), QStringLiteral("K1:%1").arg(seq));
            seqs << seq;
        }
        return seqs;
    }
    qint64 profondeur() const
    {
        Store::StoreDatabase base;
        return Store::etatBoiteEnvoi(base).profondeur;
    }
    static QList<qint64> suite(qint64 de, qint64 a)
    {
        QList<qint64> s;
        for (qint64 i = de; i <= a; ++i)
            s << i;
        return s;
    }

    Config::ReglagesFlotte m_reglages;
    Platform::LienMqttEnregistre m_lien;
    const Store::BoiteEnvoiActivee m_boite;
};

TEST_F(EmetteurFlotteTest, InOrderAWindowAtATimeDeletedOnlyOnceAcknowledged)
{
    ecrire(150);
    Flotte::EmetteurFlotte emetteur(m_lien, m_reglages,
                                    [] { return std::make_unique<Store::StoreDatabase>(); });
    // Down: nothing goes, nothing is lost.
    m_clock.advance(10);
    EXPECT_TRUE(m_lien.publications().isEmpty());

    m_lien.simulerConnexion(false);
    m_clock.advance(10);
    ASSERT_EQ(publies(), suite(1, Flotte::EmetteurFlotte::Fenetre));

    // The broker acknowledges the first 50: deleted, and the window moves on.
    for (int id = 1; id <= 50; ++id)
        m_lien.simulerAcquittement(id);
    m_lien.simulerAcquittement(999); // not ours: ignored
    m_clock.advance(10);
    EXPECT_EQ(profondeur(), 100);
    EXPECT_EQ(publies(100), suite(101, 150));
    EXPECT_EQ(*emetteur.fileAttente(), 100);

    // The link drops before the rest is acknowledged: the next connection starts again from
    // the oldest event left.
    m_lien.simulerCoupure(QStringLiteral("coupure"));
    const qsizetype avant = m_lien.publications().size();
    m_lien.simulerConnexion(true);
    m_clock.advance(10);
    EXPECT_EQ(publies(avant), suite(51, 150));
    for (int id = int(avant) + 1; id <= m_lien.publications().size(); ++id)
        m_lien.simulerAcquittement(id);
    m_clock.advance(10);
    EXPECT_EQ(profondeur(), 0);
}

TEST_F(EmetteurFlotteTest, StoreRefusingTheDeletion_EventsKeptStillSentJournalledOnce)
{
    Movendi::Test::DisqueEnPanne::installer();
    Movendi::Test::DisqueEnPanne::panne(Movendi::Test::DisqueEnPanne::Panne::Aucune,
                                        path(State::etat().NomBase + QStringLiteral(".db")));
    ecrire(3);
    Flotte::EmetteurFlotte emetteur(m_lien, m_reglages,
                                    [] { return std::make_unique<Store::StoreDatabase>(); });
    m_lien.simulerConnexion(false);
    m_clock.advance(10);
    ASSERT_EQ(publies(), suite(1, 3));

    // The disk fills up as the acknowledgements come: the events stay, and after a
    // reconnection they still go out (read, not yet deleted).
    Movendi::Test::DisqueEnPanne::panne(Movendi::Test::DisqueEnPanne::Panne::DisquePlein);
    for (int id = 1; id <= 3; ++id)
        m_lien.simulerAcquittement(id);
    m_clock.advance(10);
    m_lien.simulerCoupure(QStringLiteral("coupure"));
    const qsizetype avant = m_lien.publications().size();
    m_lien.simulerConnexion(true);
    m_clock.advance(10);
    EXPECT_EQ(publies(avant), suite(1, 3));
    EXPECT_EQ(profondeur(), 3);
    const QStringList pendant = journal(QStringLiteral("Flotte"));
    ASSERT_EQ(pendant.size(), 1);
    EXPECT_TRUE(pendant.first().startsWith(QStringLiteral("boîte d'envoi non écrite")));

    // Room again: what the broker acknowledged goes, and the journal says it is over.
    Movendi::Test::DisqueEnPanne::panne(Movendi::Test::DisqueEnPanne::Panne::Aucune);
    for (int id = int(avant) + 1; id <= m_lien.publications().size(); ++id)
        m_lien.simulerAcquittement(id);
    m_clock.advance(10);
    EXPECT_EQ(profondeur(), 0);
    EXPECT_EQ(journal(QStringLiteral("Flotte")).size(), 2);
}

} // namespace
