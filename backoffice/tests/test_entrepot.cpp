// The back-office's store against a real PostgreSQL: the schema created and upgraded once, each
// event stored once by its id with what it reports, and every message that breaks the contract
// set aside with its reason.
#include "basepgtest.h"
#include "entrepot/entrepot.h"
#include "entrepot/operateurs.h"
#include "entrepot/tampon.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

#include <memory>

using namespace Movendi;
using namespace Movendi::Backoffice;

namespace {

class EntrepotTest : public Movendi::Test::BasePgTest
{
};

TEST_F(EntrepotTest, Schema_CreatedThenLeftAsItIs)
{
    EXPECT_EQ(versionSchema(*m_base), 0);
    EXPECT_EQ(mettreAJourSchema(*m_base), 0);
    EXPECT_EQ(versionSchema(*m_base), VersionSchema);
    EXPECT_EQ(mettreAJourSchema(*m_base), VersionSchema);
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(*) FROM schema_version")).toInt(), VersionSchema);
    for (const char *table :
         {"kiosques", "evenements", "ventes", "lignes_vente", "mouvements_stock", "remises",
          "alarmes", "messages_rejetes", "reponses"})
        EXPECT_TRUE(
            valeur(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"), {QLatin1String(table)})
                .toBool())
            << table;
}

TEST_F(EntrepotTest, EachMessage_StoredOnceWithWhatItReportsOrSetAsideWithItsReason)
{
    mettreAJourSchema(*m_base);
    Entrepot entrepot(*m_base, QStringLiteral("movendi/v1"));
    const QString vente = QStringLiteral(
        R"({"v":1,"kiosque":"K1","seq":12,"id":"K1:12","type":"vente","horodatage":"2026-12-09T10:00:00Z",)"
        R"("numVente":7,"montantCentimes":20990,"statutDebit":0,"reprise":false,"carte":"497010******7893",)"
        R"("noRemise":3,"lignes":[{"ref":101,"designation":"Galaxy","famille":1,"montantCentimes":19990,)"
        R"("imei":"352091014100377","serie":null},{"ref":201,"designation":"Recharge","famille":2,)"
        R"("montantCentimes":1000,"imei":null,"serie":"7201583002199309"}]})");
    const auto evenement = [](int seq, const QString &type, const QString &champs) {
        return QStringLiteral(R"({"v":1,"kiosque":"K1","seq":%1,"id":"K1:%1","type":"%2",)"
                              R"("horodatage":"2026-12-09T10:00:0%3Z"%4})")
            .arg(seq)
            .arg(type)
            .arg(seq % 10)
            .arg(champs);
    };
    struct Cas
    {
        const char *quoi;
        QString sujet;
        QString charge;
        Reception::Issue issue;
        const char *raison; // part of it, when set aside
    };
    const QString ev = QStringLiteral("movendi/v1/K1/evenements");
    const QList<Cas> cas{
        {"présence", QStringLiteral("movendi/v1/K1/presence"), QStringLiteral("en-ligne"),
         Reception::Stocke, ""},
        {"vente", ev, vente, Reception::Stocke, ""},
        {"la même vente reçue deux fois", ev, vente, Reception::Repete, ""},
        {"stock", ev,
         evenement(
             13, QStringLiteral("stock"),
             QStringLiteral(R"(,"noEmpl":3,"ref":null,"imei":"352091014100377","cause":"vente")")),
         Reception::Stocke, ""},
        {"télécollecte", ev,
         evenement(
             14, QStringLiteral("telecollecte"),
             QStringLiteral(R"(,"noRemise":3,"nbTransactions":2,"montantCentimes":41980,)"
                            R"("local":{"nbDebits":1,"montantCentimes":20990},"ecart":true)")),
         Reception::Stocke, ""},
        {"alarme", ev,
         evenement(15, QStringLiteral("alarme"),
                   QStringLiteral(R"(,"code":"porte","contexte":"MiseAJourStock","message":"x")")),
         Reception::Stocke, ""},
        {"état", QStringLiteral("movendi/v1/K1/etat"),
         QStringLiteral(R"({"v":1,"kiosque":"K1","horodatage":"2026-12-09T10:01:00Z",)"
                        R"("enService":false,"ecran":"hors-service"})"),
         Reception::Stocke, ""},
        {"réponse", QStringLiteral("movendi/v1/K1/reponses"),
         QStringLiteral(R"({"id":"c1","resultat":"ok","message":"en service"})"), Reception::Stocke,
         ""},
        {"notre commande", QStringLiteral("movendi/v1/K1/commandes"),
         QStringLiteral(R"({"id":"c1","commande":"etat"})"), Reception::Ignore, ""},
        // Set aside:
        {"pas du JSON", ev, QStringLiteral("{tronqué"), Reception::Rejete, "pas un objet JSON"},
        {"id d'un autre", ev,
         evenement(16, QStringLiteral("arret"), {})
             .replace(QStringLiteral("\"K1:16\""), QStringLiteral("\"K2:16\"")),
         Reception::Rejete, "kiosque:seq"},
        {"kiosque d'un autre sujet", QStringLiteral("movendi/v1/K2/evenements"),
         evenement(17, QStringLiteral("arret"), {}), Reception::Rejete, "kiosque différent"},
        {"type inconnu", ev, evenement(18, QStringLiteral("vol"), {}), Reception::Rejete,
         "type d'événement inconnu"},
        {"carte en clair", ev,
         QString(vente)
             .replace(QStringLiteral("497010******7893"), QStringLiteral("4970101234567893"))
             .replace(QStringLiteral("K1:12\",\"type"), QStringLiteral("K1:12\",\"type"))
             .replace(QStringLiteral("\"seq\":12,\"id\":\"K1:12\""),
                      QStringLiteral("\"seq\":19,\"id\":\"K1:19\"")),
         Reception::Rejete, "carte en clair"},
        {"heure locale", ev,
         evenement(20, QStringLiteral("arret"), {})
             .replace(QStringLiteral(":00:00Z"), QStringLiteral(":00:00+01:00")),
         Reception::Rejete, "horodatage"},
        {"sujet hors contrat", QStringLiteral("autre/K1/evenements"), vente, Reception::Rejete,
         "sujet"},
        // What PostgreSQL would refuse, and so hold up every message after it:
        {"famille hors de sa colonne", ev,
         QString(vente)
             .replace(QStringLiteral("\"famille\":2"), QStringLiteral("\"famille\":3000000000"))
             .replace(QStringLiteral("\"seq\":12,\"id\":\"K1:12\""),
                      QStringLiteral("\"seq\":21,\"id\":\"K1:21\"")),
         Reception::Rejete, "famille"},
        {"emplacement hors de sa colonne", ev,
         evenement(22, QStringLiteral("stock"),
                   QStringLiteral(R"(,"noEmpl":1099511627776,"ref":1,"cause":"vente")")),
         Reception::Rejete, "noEmpl"},
        {"caractère nul échappé", ev,
         evenement(23, QStringLiteral("alarme"), QStringLiteral(R"(,"code":"porte\u0000")")),
         Reception::Rejete, "caractère nul"},
        {"caractère nul tel quel", ev,
         evenement(24, QStringLiteral("alarme"),
                   QStringLiteral(",\"code\":\"porte") + QChar(0) + QStringLiteral("\"")),
         Reception::Rejete, "caractère nul"},
        {"caractère de commande tel quel", ev,
         evenement(25, QStringLiteral("alarme"),
                   QStringLiteral(",\"code\":\"porte\x01\",\"message\":\"ligne 1\nligne 2\"")),
         Reception::Stocke, ""},
        {"heure sans minutes", ev,
         evenement(26, QStringLiteral("arret"), {})
             .replace(QStringLiteral("10:00:06Z"), QStringLiteral("10Z")),
         Reception::Rejete, "horodatage"},
        {"réponse sans id", QStringLiteral("movendi/v1/K1/reponses"),
         QStringLiteral(R"({"id":null,"resultat":"refuse","message":"commande illisible"})"),
         Reception::Rejete, "sans id"},
        {"moitié de paire UTF-16", QStringLiteral("movendi/v1/K1/etat"),
         QStringLiteral(R"({"v":1,"kiosque":"K1","horodatage":"2026-12-09T10:01:00Z",)"
                        R"("enService":true,"ecran":"\ud800"})"),
         Reception::Rejete, "UTF-16"},
    };
    const QDateTime maintenant(QDate(2026, 12, 9), QTime(10, 2), Qt::UTC);
    int rejetes = 0;
    for (const Cas &c : cas) {
        SCOPED_TRACE(c.quoi);
        const Reception r = entrepot.recevoir(c.sujet, c.charge.toUtf8(), maintenant);
        EXPECT_EQ(r.issue, c.issue) << r.raison.toStdString();
        EXPECT_TRUE(r.raison.contains(QString::fromUtf8(c.raison))) << r.raison.toStdString();
        rejetes += c.issue == Reception::Rejete ? 1 : 0;
    }
    EXPECT_EQ(entrepot.rejetes(), rejetes);
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(*) FROM messages_rejetes")).toInt(), rejetes);
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(*) FROM evenements")).toInt(), 5);
    // The sale as it was sold: its amount, its lines, the card masked.
    EXPECT_EQ(valeur(QStringLiteral("SELECT montant_centimes FROM ventes WHERE num_vente = 7"))
                  .toLongLong(),
              20990);
    EXPECT_EQ(valeur(QStringLiteral("SELECT SUM(montant_centimes) FROM lignes_vente")).toLongLong(),
              20990);
    EXPECT_EQ(valeur(QStringLiteral("SELECT carte FROM ventes")).toString(),
              QStringLiteral("497010******7893"));
    EXPECT_EQ(valeur(QStringLiteral("SELECT cause || ' ' || (ref IS NULL) FROM "
                                    "mouvements_stock WHERE no_empl = 3"))
                  .toString(),
              QStringLiteral("vente true"));
    EXPECT_TRUE(valeur(QStringLiteral("SELECT ecart FROM remises WHERE no_remise = 3")).toBool());
    EXPECT_EQ(valeur(QStringLiteral("SELECT string_agg(code, '|' ORDER BY id_evenement) FROM "
                                    "alarmes"))
                  .toString(),
              QStringLiteral("porte|porte\x01"));
    // Control characters the kiosk left unescaped: kept in the event as sent.
    EXPECT_EQ(valeur(QStringLiteral("SELECT charge->>'message' FROM evenements WHERE id = 'K1:25'"))
                  .toString(),
              QStringLiteral("ligne 1\nligne 2"));
    EXPECT_EQ(valeur(QStringLiteral("SELECT presence || ' ' || en_service::text || ' ' || "
                                    "(etat->>'ecran') FROM kiosques WHERE kiosque = 'K1'"))
                  .toString(),
              QStringLiteral("en-ligne false hors-service"));
    EXPECT_EQ(valeur(QStringLiteral("SELECT resultat FROM reponses WHERE id = 'c1'")).toString(),
              QStringLiteral("ok"));
    // Kept aside as received, but never with a whole card number in it.
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(*) FROM messages_rejetes WHERE "
                                    "encode(charge, 'escape') LIKE '%4970101234567893%'"))
                  .toInt(),
              0);
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(*) FROM messages_rejetes WHERE raison = "
                                    "'numéro de carte en clair' AND encode(charge, "
                                    "'escape') LIKE '%497010******7893%'"))
                  .toInt(),
              1);
}

// A message the database refuses while it answers is set aside with the reason; those around it
// are stored, and the database is not said to be down.
TEST_F(EntrepotTest, MessageRefusedByTheDatabase_SetAsideTheOthersStored)
{
    mettreAJourSchema(*m_base);
    m_base->executer(QStringLiteral(
        "CREATE FUNCTION refuser() RETURNS trigger AS $$ BEGIN IF NEW.code = 'poison' THEN "
        "RAISE EXCEPTION 'refus de test'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql"));
    m_base->executer(QStringLiteral("CREATE TRIGGER refus BEFORE INSERT ON alarmes FOR EACH ROW "
                                    "EXECUTE FUNCTION refuser()"));
    Entrepot entrepot(*m_base, QStringLiteral("movendi/v1"));
    QStringList journal;
    Tampon tampon(*m_base, entrepot, [&](const QString &t) { journal << t; });
    const auto alarme = [](int seq, const char *code) {
        return QStringLiteral(R"({"v":1,"kiosque":"K1","seq":%1,"id":"K1:%1","type":"alarme",)"
                              R"("horodatage":"2026-12-09T10:00:00Z","code":"%2"})")
            .arg(seq)
            .arg(QLatin1String(code))
            .toUtf8();
    };
    const QDateTime quand(QDate(2026, 12, 9), QTime(10, 2), Qt::UTC);
    tampon.recevoir(QStringLiteral("movendi/v1/K1/evenements"), alarme(1, "porte"), quand);
    tampon.recevoir(QStringLiteral("movendi/v1/K1/evenements"), alarme(2, "poison"), quand);
    tampon.recevoir(QStringLiteral("movendi/v1/K1/evenements"), alarme(3, "tpe"), quand);
    tampon.reessayer();

    EXPECT_EQ(valeur(QStringLiteral("SELECT string_agg(code, ',' ORDER BY code) FROM alarmes"))
                  .toString(),
              QStringLiteral("porte,tpe"));
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(*) FROM messages_rejetes WHERE raison LIKE "
                                    "'refusé par la base:%refus de test%'"))
                  .toInt(),
              1);
    ASSERT_EQ(journal.size(), 1) << journal.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(journal.first().startsWith(QStringLiteral("message mis de côté")));
    // Nothing left to store: a further pass changes nothing.
    tampon.reessayer();
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(*) FROM evenements")).toInt(), 2);
}

} // namespace

namespace {

// Operators' passwords: kept only as a slow salted hash, each with its own salt; the right one
// opens, any other does not, an unknown name neither; a short one is refused.
TEST_F(EntrepotTest, Operators_SaltedSlowHashRightPasswordOnly)
{
    mettreAJourSchema(*m_base);
    const QDateTime maintenant = QDateTime::currentDateTimeUtc();
    definirOperateur(*m_base, QStringLiteral("alice"), QStringLiteral("correct horse 42"),
                     maintenant);
    definirOperateur(*m_base, QStringLiteral("bob"), QStringLiteral("correct horse 42"),
                     maintenant);
    EXPECT_THROW(
        definirOperateur(*m_base, QStringLiteral("eve"), QStringLiteral("court"), maintenant),
        ErreurBase);
    struct Cas
    {
        const char *nom;
        const char *motDePasse;
        bool ouvre;
    };
    for (const Cas &c :
         {Cas{"alice", "correct horse 42", true}, Cas{"alice", "correct horse 43", false},
          Cas{"alice", "", false}, Cas{"mallory", "correct horse 42", false}}) {
        SCOPED_TRACE(c.nom);
        EXPECT_EQ(
            authentifierOperateur(*m_base, QLatin1String(c.nom), QString::fromUtf8(c.motDePasse)),
            c.ouvre);
    }
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(DISTINCT sel) FROM operateurs")).toInt(), 2);
    EXPECT_EQ(valeur(QStringLiteral("SELECT MIN(iterations) FROM operateurs")).toInt(),
              IterationsMotDePasse);
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(*) FROM operateurs WHERE position('correct' "
                                    "IN encode(hachage, 'escape')) > 0"))
                  .toInt(),
              0);
    // Changed: the old password no longer opens.
    definirOperateur(*m_base, QStringLiteral("alice"), QStringLiteral("battery staple 7"),
                     maintenant);
    EXPECT_FALSE(authentifierOperateur(*m_base, QStringLiteral("alice"),
                                       QStringLiteral("correct horse 42")));
    EXPECT_TRUE(authentifierOperateur(*m_base, QStringLiteral("alice"),
                                      QStringLiteral("battery staple 7")));
}

} // namespace

namespace {

// A statement waiting on another session's lock ends with the reason instead of holding the
// service; the bound comes with every connection, and a string's own value (quoted, with
// spaces) replaces it.
TEST_F(EntrepotTest, StatementWaitingOnALock_EndsWithinTheConnectionsBound)
{
    EXPECT_EQ(valeur(QStringLiteral("SHOW statement_timeout")).toString(),
              QStringLiteral("%1s").arg(ConnexionPg::DelaiRequeteS));
    const QString nom = QStringLiteral("essai%1").arg(s_bases);
    ConnexionPg pressee(s_serveur->connexion(nom) +
                        QStringLiteral(" options='-c statement_timeout=300'"));
    m_base->enTransaction([&] {
        m_base->executer(QStringLiteral("SELECT pg_advisory_xact_lock(29)"));
        try {
            pressee.executer(QStringLiteral("SELECT pg_advisory_lock(29)"));
            ADD_FAILURE() << "the statement went through a held lock";
        } catch (const ErreurBase &e) {
            EXPECT_TRUE(e.raison().contains(QStringLiteral("statement timeout")))
                << e.raison().toStdString();
        }
    });
    // The connection is usable again once the lock is gone.
    QSqlQuery q = pressee.executer(QStringLiteral("SELECT pg_advisory_lock(29)"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 0);
}

} // namespace
