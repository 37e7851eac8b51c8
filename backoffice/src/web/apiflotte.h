#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrlQuery>

#include <optional>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponse;

namespace Movendi::Backoffice {

class ConnexionPg;
class LectureFlotte;
class Sessions;

// The fleet's API, read side, as the contract gives it: GET /api/v1/kiosques (one row per
// kiosk), /api/v1/kiosques/K (one kiosk, its stock and latest sales and remittances),
// /api/v1/ventes?du=AAAA-MM-JJ&au=AAAA-MM-JJ[&kiosque=K] (JSON, or CSV with Accept: text/csv);
// POST /api/v1/kiosques/K/commandes {"commande": "hors-service" | "en-service" | "etat"}, which
// publishes the command to the kiosk and keeps it (its answer shows with the kiosk).
// Every request needs "Authorization: Bearer <Jeton>" (none is taken while no Jeton is
// configured) or an operator's session cookie; a command sent from a session also needs the
// session's form token in "X-CSRF-Token". Days are the server's local days.
class ApiFlotte
{
public:
    ApiFlotte(ConnexionPg &base, LectureFlotte &lecture, Sessions &sessions, QString jeton);

    // Adds the routes to the server.
    void installer(QHttpServer &serveur);

    // Each route's answer, for the server and the tests.
    QHttpServerResponse kiosques(const QHttpServerRequest &requete);
    QHttpServerResponse kiosque(const QString &nom, const QHttpServerRequest &requete);
    QHttpServerResponse ventes(const QHttpServerRequest &requete);
    // GET /api/v1/alertes: the open ones; ?toutes=1 all.
    QHttpServerResponse alertes(const QHttpServerRequest &requete);
    QHttpServerResponse commander(const QString &nom, const QHttpServerRequest &requete);

private:
    // Who asks: "api" for the bearer token, the operator's name for a session; none when
    // neither holds (or, for a change, when a session's request lacks its form token).
    std::optional<QString> demandeur(const QHttpServerRequest &requete, bool modification);

    ConnexionPg &m_base;
    LectureFlotte &m_lecture;
    Sessions &m_sessions;
    const QString m_jeton;
};

} // namespace Movendi::Backoffice
