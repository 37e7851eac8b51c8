// Journal records become alarm events: their code by the routine that journals, each in its own
// transaction after the routine is done, the fleet's own records left out.
#include "flotte/alarmesflotte.h"
#include "journal/journal.h"
#include "kiosktest.h"
#include "store/boiteenvoi.h"
#include "store/storedatabase.h"

using namespace Movendi;

namespace {

class AlarmesFlotteTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        useApplicationFolder();
        createJournal();
    }
};

TEST_F(AlarmesFlotteTest, EachRecordItsCodeInItsOwnEventAfterTheRoutine)
{
    struct Cas
    {
        const char *contexte;
        const char *erreur;
        const char *code; // empty: no alarm
    };
    const QList<Cas> cas{
        {"MiseAJourStock", "Erreur automate porte pas ouverte Ref: 101", "porte"},
        {"PiloterAutomate", "état de porte impossible à écrire: disque plein", "porte"},
        {"PiloterAutomate", "Erreur automate 12 Ref: 101", "mecanisme"},
        {"make payment", "sortie par payer=faux", "terminal"},
        {"EcouterDemTC", "DTELECOLLECTE EN COURS", "terminal"},
        {"Reprise vente", "article 1 atteint, emplacement vidé (porte de l'emplacement 5)",
         "journal"},
        {"EnregistrerTelecollecte", "Ecart de télécollecte: remise 7", "terminal"},
        {"ImprimerTicket", "N°: 57 port introuvable", "imprimante"},
        {"Magasin", "kiosque hors service: disque plein", "base"},
        {"Main", "Problème de base de donnée", "base"},
        {"TransferFTP", "N°: 35750 connexion refusée", "ftp"},
        {"EnvoyerEmail", "N°: 1 serveur muet", "mail"},
        {"AffichezMessage", "LCD absent", "journal"},
        {"Flotte", "commande refusée: commande sans id", ""},
    };
    Store::BoiteEnvoiActivee boite;
    Flotte::AlarmesFlotte alarmes([] { return std::make_unique<Store::StoreDatabase>(); });
    Store::StoreDatabase base;
    for (const Cas &c : cas) {
        SCOPED_TRACE(c.contexte);
        EXPECT_EQ(Flotte::codeAlarme(QLatin1String(c.contexte), QString::fromUtf8(c.erreur)),
                  QLatin1String(c.code));
        // Recorded inside another connection's transaction: the alarm waits for the next pass,
        // not for that connection's lock.
        base.debuterTransaction();
        Journal::JournaliserErreur(QLatin1String(c.contexte), QString::fromUtf8(c.erreur));
        base.valider();
    }
    EXPECT_EQ(Store::etatBoiteEnvoi(base).profondeur, 0);
    m_clock.advance(10);
    const QList<Store::EvenementBoite> evenements = Store::lireBoiteEnvoi(base, 0, 100);
    ASSERT_EQ(evenements.size(), cas.size() - 1);
    for (qsizetype i = 0; i < evenements.size(); ++i) {
        EXPECT_EQ(evenements.at(i).type, QStringLiteral("alarme"));
        EXPECT_EQ(evenements.at(i).champs.value(QStringLiteral("code")).toString(),
                  QLatin1String(cas.at(i).code));
        EXPECT_EQ(evenements.at(i).champs.value(QStringLiteral("contexte")).toString(),
                  QLatin1String(cas.at(i).contexte));
    }
}

} // namespace
