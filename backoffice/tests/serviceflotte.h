#pragma once

#include "brokermqtt.h"
#include "serveurpostgres.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QProcess;

// Helpers of the tests that run movendi-flotte itself.
namespace Movendi::Test {

struct Sortie
{
    int code = -1;
    QString texte;
};

// movendi-flotte run to its end with these arguments (standard input given, then closed).
Sortie lancerFlotte(const QStringList &arguments, const QByteArray &entree = {});

// One message published with mosquitto_pub at QoS 1.
bool publier(quint16 port, const QString &sujet, const QByteArray &charge, bool retenu = false);

// A free TCP port on loopback, for the service's web server.
quint16 portLibre();

// A configuration file for the service: each line "[Section]" or "Cle=valeur".
bool ecrireConfiguration(const QString &fichier, const QStringList &lignes);

struct Reponse
{
    int statut = 0;
    QByteArray corps;
    QByteArray type;
    QByteArray location;
};

// One HTTP request to the service on loopback: GET, or POST when a body is given; headers
// added as given.
Reponse requeteHttp(quint16 port, const QString &chemin,
                    const QList<QPair<QByteArray, QByteArray>> &entetes,
                    const QByteArray &corps = {});

// What the service runs against: a PostgreSQL cluster with an empty database "flotte", a
// Mosquitto, and the service's configuration pointing at them, its web server on a free port.
class BancFlotte
{
public:
    // Starts both and writes the configuration, these lines added at its end (in [Web] until
    // they open a section of their own); runs init unless told not to. False with a test
    // failure.
    bool preparer(const QStringList &lignes = {}, bool initialiser = true);
    // Starts the service and waits until it has subscribed (once more than before).
    bool demarrer(QProcess &service);

    ServeurPostgres postgres;
    BrokerMqtt broker;
    QString config;
    quint16 web = 0;

private:
    QTemporaryDir m_dossier;
};

} // namespace Movendi::Test
