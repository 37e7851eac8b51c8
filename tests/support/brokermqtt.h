#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace Movendi::Test {

// A real Mosquitto broker on 127.0.0.1, with its persistence in a temporary folder, started and
// stopped by the test. Stopped and started again, it keeps its port and what it persisted, as a
// broker that restarts does.
class BrokerMqtt
{
public:
    BrokerMqtt() = default;
    ~BrokerMqtt();
    BrokerMqtt(const BrokerMqtt &) = delete;
    BrokerMqtt &operator=(const BrokerMqtt &) = delete;

    // A TLS listener: the broker's certificate and key, and the CA its clients' certificates
    // must come from (a client without one is refused).
    struct Tls
    {
        QString ca;
        QString certificat;
        QString cle;
    };

    // Adds a test failure and returns false when the broker does not come up.
    bool start(const std::optional<Tls> &tls = std::nullopt);
    // SIGTERM: the broker saves its sessions and ends.
    void stop();
    // SIGSTOP / SIGCONT: a broker that hangs, its sockets open, answering nothing.
    void suspendre(bool suspendu);
    quint16 port() const { return m_port; }
    // What an independent client (mosquitto_sub) receives on a topic within `secondes`, retained
    // messages included: at most `combien` payloads.
    QStringList recu(const QString &sujet, int combien, int secondes) const;
    QString log() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace Movendi::Test
