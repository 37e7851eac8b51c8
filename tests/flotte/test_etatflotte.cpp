// The state message: what it says of the store and the screens, and when it goes (at each
// connection, at a change of screen or service only, every Battement seconds).
#include "config/reglagesflotte.h"
#include "flotte/etatflotte.h"
#include "journal/journal.h"
#include "kiosktest.h"
#include "platform/lienmqtt.h"
#include "store/storedatabase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Movendi;

namespace {

class EtatFlotteTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        useApplicationFolder();
        createJournal();
    }
    qint64 compter(const QString &sql) const
    {
        Store::StoreDatabase base;
        return base.lire(sql).lignes.at(0).at(0).toLongLong();
    }
};

TEST_F(EtatFlotteTest, WhatItSaysAndWhenItGoes)
{
    Config::ReglagesFlotte r;
    r.prefixe = QStringLiteral("movendi/v1");
    r.kiosque = QStringLiteral("K1");
    r.battementS = 60;
    QString ecran = QStringLiteral("accueil");
    bool enService = true;
    Flotte::SourcesEtat sources;
    sources.ecran = [&] { return ecran; };
    sources.enService = [&] { return enService; };
    sources.fileAttente = [] { return std::optional<qint64>(7); };
    Journal::JournaliserErreur(QStringLiteral("TransferFTP"), QStringLiteral("refusé"));
    Platform::LienMqttEnregistre lien;
    Flotte::EtatFlotte etat(lien, r, sources,
                            [] { return std::make_unique<Store::StoreDatabase>(); });
    const auto messages = [&] {
        QList<QJsonObject> m;
        for (const auto &p : lien.publications()) {
            EXPECT_EQ(p.sujet, QStringLiteral("movendi/v1/K1/etat"));
            EXPECT_TRUE(p.retenu);
            EXPECT_EQ(p.qos, 1);
            m << QJsonDocument::fromJson(p.charge).object();
        }
        return m;
    };

    m_clock.advance(61000);
    EXPECT_TRUE(lien.publications().isEmpty()) << "nothing while the link is down";
    lien.simulerConnexion(false);
    ASSERT_EQ(messages().size(), 1);
    const QJsonObject e = messages().first();
    EXPECT_EQ(e.value(QStringLiteral("kiosque")).toString(), QStringLiteral("K1"));
    EXPECT_EQ(e.value(QStringLiteral("ecran")).toString(), QStringLiteral("accueil"));
    EXPECT_TRUE(e.value(QStringLiteral("enService")).toBool());
    EXPECT_EQ(e.value(QStringLiteral("fileAttente")).toInteger(), 7);
    EXPECT_EQ(e.value(QStringLiteral("erreurs24h")).toInteger(), 1);
    EXPECT_TRUE(e.value(QStringLiteral("derniereVente")).isNull());
    EXPECT_TRUE(e.value(QStringLiteral("horodatage")).toString().endsWith(QLatin1Char('Z')));
    const QJsonObject libres = e.value(QStringLiteral("emplacementsLibres")).toObject();
    EXPECT_EQ(libres.value(QStringLiteral("telephones")).toInteger(),
              compter(QStringLiteral("SELECT COUNT(*) FROM EmplacementsMachine1 WHERE Reference "
                                     "IS NULL AND Etage >= 3")));
    EXPECT_EQ(libres.value(QStringLiteral("recharges")).toInteger(),
              compter(QStringLiteral("SELECT COUNT(*) FROM EmplacementsMachine1 WHERE Reference "
                                     "IS NULL AND Etage < 3")));
    const QJsonArray stock = e.value(QStringLiteral("stock")).toArray();
    ASSERT_FALSE(stock.isEmpty());
    qint64 unites = 0;
    for (const QJsonValue &v : stock)
        unites += v.toObject().value(QStringLiteral("qte")).toInteger();
    EXPECT_EQ(unites, compter(QStringLiteral("SELECT COUNT(*) FROM EmplacementsMachine1 WHERE "
                                             "Reference IS NOT NULL")));

    // Only a change goes at once; then the heartbeat.
    etat.changement();
    EXPECT_EQ(messages().size(), 1);
    ecran = QStringLiteral("choix");
    etat.changement();
    enService = false;
    etat.changement();
    ASSERT_EQ(messages().size(), 3);
    EXPECT_EQ(messages().at(1).value(QStringLiteral("ecran")).toString(), QStringLiteral("choix"));
    EXPECT_FALSE(messages().at(2).value(QStringLiteral("enService")).toBool());
    m_clock.advance(59000);
    EXPECT_EQ(messages().size(), 3);
    m_clock.advance(1500);
    EXPECT_EQ(messages().size(), 4);
}

} // namespace
