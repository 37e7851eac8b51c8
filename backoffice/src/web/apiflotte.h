#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrlQuery>

#include <functional>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponse;

namespace Movendi::Backoffice {

class ConnexionPg;

// The fleet's API, read side, as the contract gives it: GET /api/v1/kiosques (one row per
// kiosk), /api/v1/kiosques/K (one kiosk, its stock and latest sales and remittances),
// /api/v1/ventes?du=AAAA-MM-JJ&au=AAAA-MM-JJ[&kiosque=K] (JSON, or CSV with Accept: text/csv);
// POST /api/v1/kiosques/K/commandes {"commande": "hors-service" | "en-service" | "etat"}, which
// publishes the command to the kiosk and keeps it (its answer shows with the kiosk).
// Every request needs "Authorization: Bearer <Jeton>"; without a Jeton configured the API
// answers none. Days are the server's local days.
class ApiFlotte
{
public:
    using Horloge = std::function<QDateTime()>;
    // Publishes a command on the broker (QoS 1); false when the link is down.
    using Publier = std::function<bool(const QString &sujet, const QByteArray &charge)>;

    ApiFlotte(ConnexionPg &base, QString jeton, QString prefixe, Horloge maintenant,
              Publier publier);

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
    bool autorise(const QHttpServerRequest &requete) const;

    ConnexionPg &m_base;
    const QString m_jeton;
    const QString m_prefixe;
    Horloge m_maintenant;
    Publier m_publier;
};

} // namespace Movendi::Backoffice
