// The fleet's alerts against a real PostgreSQL, fed as the service feeds it: each opens once and
// is mailed, is reminded once a reminder period has passed, closes with its "rétabli" mail, and
// a service that just came back judges no kiosk on a silence it could not have heard.
#include "alertes/alertes.h"
#include "basepgtest.h"
#include "entrepot/entrepot.h"

#include <QStringList>

using namespace Movendi;
using namespace Movendi::Backoffice;

namespace {

class AlertesTest : public Movendi::Test::BasePgTest
{
protected:
    void recevoir(Entrepot &e, const char *kiosque, const char *quoi, const QString &charge,
                  const QDateTime &quand)
    {
        const Reception r = e.recevoir(
            QStringLiteral("movendi/v1/%1/%2").arg(QLatin1String(kiosque), QLatin1String(quoi)),
            charge.toUtf8(), quand);
        ASSERT_EQ(r.issue, Reception::Stocke) << r.raison.toStdString();
    }
    static QString evenement(const char *kiosque, int seq, const char *type, const QDateTime &quand,
                             const QString &champs)
    {
        return QStringLiteral(R"({"v":1,"kiosque":"%1","seq":%2,"id":"%1:%2","type":"%3",)"
                              R"("horodatage":"%4"%5})")
            .arg(QLatin1String(kiosque))
            .arg(seq)
            .arg(QLatin1String(type), quand.toUTC().toString(Qt::ISODate), champs);
    }
};

TEST_F(AlertesTest, OpenOnceRemindOnceCloseWithItsMailNoStormAfterAReconnection)
{
    mettreAJourSchema(*m_base);
    Entrepot e(*m_base, QStringLiteral("movendi/v1"));
    const QDateTime t0(QDate(2026, 12, 9), QTime(10, 0), Qt::UTC);
    const auto m = [&](int minutes) { return t0.addSecs(qint64(minutes) * 60); };

    recevoir(e, "K1", "presence", QStringLiteral("en-ligne"), m(-60));
    const QString etatK1 =
        QStringLiteral(R"({"v":1,"kiosque":"K1","horodatage":"%1","enService":true,)"
                       R"("stock":[{"ref":101,"designation":"Galaxy","famille":1,"qte":1},)"
                       R"({"ref":102,"designation":"iPhone","famille":1,"qte":5}],)"
                       R"("emplacementsLibres":{"telephones":0,"recharges":3}})")
            .arg(m(0).toString(Qt::ISODate));
    recevoir(e, "K1", "etat", etatK1, m(0));
    recevoir(e, "K1", "evenements",
             evenement("K1", 1, "vente", m(-10),
                       QStringLiteral(R"(,"numVente":8,"montantCentimes":1000,"statutDebit":1,)"
                                      R"("reprise":false,"carte":null,"noRemise":1,"lignes":[])")),
             m(-10));
    recevoir(
        e, "K1", "evenements",
        evenement("K1", 2, "telecollecte", m(-8),
                  QStringLiteral(R"(,"noRemise":1,"nbTransactions":2,"montantCentimes":2000,)"
                                 R"("local":{"nbDebits":1,"montantCentimes":1000},"ecart":true)")),
        m(-8));
    recevoir(
        e, "K1", "evenements",
        evenement(
            "K1", 3, "alarme", m(-5),
            QStringLiteral(
                R"(,"code":"porte","contexte":"MiseAJourStock","message":"porte pas ouverte")")),
        m(-5));
    recevoir(e, "K1", "presence", QStringLiteral("en-ligne"), m(0));
    recevoir(e, "K2", "presence", QStringLiteral("hors-ligne"), m(-10));

    QStringList mails;
    Alertes alertes(*m_base, ReglesAlertes{},
                    [&](const MailAlerte &mail) { mails << mail.objet(); });
    // K1's state every minute up to the pass, unless it fell silent.
    int entendu = 0;
    const auto passe = [&](int minutes, std::optional<QDateTime> connecte, bool k1Vivant = true) {
        for (; k1Vivant && entendu <= minutes; ++entendu)
            recevoir(e, "K1", "etat", etatK1, m(entendu));
        mails.clear();
        alertes.evaluer(m(minutes), connecte);
        mails.sort();
        return mails;
    };
    const QDateTime connecte = m(-60);
    EXPECT_EQ(passe(0, connecte), (QStringList{QStringLiteral("Alerte K1: ecart-remise"),
                                               QStringLiteral("Alerte K1: non-debitee"),
                                               QStringLiteral("Alerte K1: plein:telephones"),
                                               QStringLiteral("Alerte K1: porte"),
                                               QStringLiteral("Alerte K1: stock-bas:101"),
                                               QStringLiteral("Alerte K2: hors-ligne")}));
    EXPECT_TRUE(passe(1, connecte).isEmpty()) << "each opens once";
    // The door's alarm is a reminder period old: that alert is over.
    EXPECT_EQ(passe(59, connecte), QStringList{QStringLiteral("Rétabli K1: porte")});
    // A reminder period after they opened: one reminder each.
    EXPECT_EQ(passe(61, connecte),
              (QStringList{QStringLiteral("Rappel alerte K1: ecart-remise"),
                           QStringLiteral("Rappel alerte K1: non-debitee"),
                           QStringLiteral("Rappel alerte K1: plein:telephones"),
                           QStringLiteral("Rappel alerte K1: stock-bas:101"),
                           QStringLiteral("Rappel alerte K2: hors-ligne")}));
    EXPECT_TRUE(passe(62, connecte).isEmpty());

    // The service loses the broker: nobody is judged on silence, nothing closes for it.
    EXPECT_TRUE(
        passe(200, std::nullopt, false).contains(QStringLiteral("Rappel alerte K1: non-debitee")));
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(*) FROM alertes WHERE sujet = 'hors-ligne' AND "
                                    "fermee IS NULL"))
                  .toInt(),
              1);
    EXPECT_FALSE(
        passe(201, m(200)).join(QLatin1Char('|')).contains(QStringLiteral("K1: hors-ligne")));
    // K2 comes back.
    recevoir(e, "K2", "presence", QStringLiteral("en-ligne"), m(202));
    EXPECT_TRUE(passe(203, m(200), false).contains(QStringLiteral("Rétabli K2: hors-ligne")));
    EXPECT_EQ(valeur(QStringLiteral("SELECT COUNT(*) FROM alertes")).toInt(), 6);
}

} // namespace
