// Operators' sessions end on their own: after 30 minutes without a request, or 12 hours after
// the login however busy; and an address that keeps failing to log in is held off for a while.
#include "web/sessions.h"

#include <gtest/gtest.h>

using Movendi::Backoffice::Sessions;

namespace {

const QDateTime T0(QDate(2026, 12, 9), QTime(8, 0), Qt::UTC);

TEST(Sessions, ExpireWhenIdleOrTooOldAndFailedLoginsHoldAnAddressOff)
{
    // A request every `pas` seconds, then the last one at `fin`.
    struct Cas
    {
        const char *quoi;
        qint64 pas;
        qint64 fin;
        bool valide;
    };
    const Cas cas[] = {
        {"used just before the idle limit", 0, Sessions::InactiviteMaxS - 1, true},
        {"idle for the whole limit", 0, Sessions::InactiviteMaxS, false},
        {"kept busy until just before the age limit", 1500, Sessions::DureeMaxS - 1, true},
        {"kept busy up to the age limit", 1500, Sessions::DureeMaxS, false},
    };
    for (const Cas &c : cas) {
        Sessions sessions;
        const QByteArray id = sessions.ouvrir(QStringLiteral("alice"), T0);
        for (qint64 t = c.pas; c.pas > 0 && t < c.fin; t += c.pas)
            ASSERT_TRUE(sessions.valider(id, T0.addSecs(t)).has_value()) << c.quoi << ' ' << t;
        const std::optional<Movendi::Backoffice::Session> s =
            sessions.valider(id, T0.addSecs(c.fin));
        EXPECT_EQ(s.has_value(), c.valide) << c.quoi;
        if (s) {
            EXPECT_EQ(s->operateur, QStringLiteral("alice"));
            EXPECT_GE(s->jetonFormulaire.size(), 40);
        }
        // Once ended it stays ended.
        if (!c.valide) {
            EXPECT_FALSE(sessions.valider(id, T0.addSecs(c.fin - 1)).has_value());
        }
    }

    Sessions sessions;
    const QByteArray a = sessions.ouvrir(QStringLiteral("alice"), T0);
    const QByteArray b = sessions.ouvrir(QStringLiteral("bob"), T0);
    EXPECT_NE(a, b);
    EXPECT_FALSE(sessions.valider(a + "x", T0).has_value());
    EXPECT_FALSE(sessions.valider({}, T0).has_value());
    sessions.fermer(a);
    EXPECT_FALSE(sessions.valider(a, T0).has_value());
    EXPECT_EQ(sessions.valider(b, T0)->operateur, QStringLiteral("bob"));

    const QString ici = QStringLiteral("192.0.2.7");
    for (int i = 0; i < Sessions::EchecsMax; ++i) {
        EXPECT_TRUE(sessions.connexionPermise(ici, T0.addSecs(i))) << i;
        sessions.echecConnexion(ici, T0.addSecs(i));
    }
    EXPECT_FALSE(sessions.connexionPermise(ici, T0.addSecs(Sessions::FenetreEchecsS - 1)));
    EXPECT_TRUE(sessions.connexionPermise(QStringLiteral("192.0.2.8"), T0));
    EXPECT_TRUE(sessions.connexionPermise(ici, T0.addSecs(Sessions::FenetreEchecsS)));
}

} // namespace
