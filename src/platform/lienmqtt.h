#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace Movendi::Platform {

// How to reach the broker and what it is to keep of this client.
struct ReglagesLienMqtt
{
    QString serveur;
    int port = 1883;
    QString utilisateur;
    QString motDePasse;
    // TLS when a CA file is given: the broker's certificate and name are checked against it.
    QString ca;
    // The client's own certificate and key, when the broker authenticates clients by them.
    QString certificat;
    QString cle;
    // The client id: the broker keeps the session (clean session off) under it.
    QString identifiant;
    // Seconds; also what the broker waits past before it publishes the will.
    int keepAliveS = 60;
    // The last will, published retained at QoS 1 when the link dies without a goodbye.
    QString sujetTestament;
    QByteArray testament;
};

enum class EtatLienMqtt {
    Arrete,    // not started, or stopped
    Connexion, // an attempt runs (socket, TLS, CONNECT)
    Connecte,  // the broker accepted the session
    Attente,   // waiting before the next attempt
};

// Delay before the attempt after `echecs` failed ones in a row: 1 s, 2 s, 4 s... up to 60 s.
qint64 delaiReconnexionMs(int echecs);

// The link to an MQTT broker. It never blocks the UI thread: every attempt, read and write runs
// from the event loop, each attempt is bounded, and a lost link is tried again on the schedule
// above until stop() is called.
class LienMqtt : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void demarrer(const ReglagesLienMqtt &reglages) = 0;
    // An orderly end: the broker drops the will.
    virtual void arreter() = 0;
    virtual EtatLienMqtt etat() const = 0;
    // Queues a message on a connected link; its id comes back through acquitte() once the
    // broker has it (QoS 1). Nothing when the link is down.
    virtual std::optional<int> publier(const QString &sujet, const QByteArray &charge, int qos,
                                       bool retenu) = 0;
    virtual bool abonner(const QString &filtre, int qos) = 0;
    // Why the last attempt or link ended, for the journal and staff.
    virtual QString derniereErreur() const = 0;

signals:
    void connecte(bool sessionPresente);
    void deconnecte(const QString &raison);
    void acquitte(int idMessage);
    void recu(const QString &sujet, const QByteArray &charge);
};

// A link that records what it is asked and is driven by the test: connection, acknowledgements
// and incoming messages happen when the test says.
class LienMqttEnregistre final : public LienMqtt
{
    Q_OBJECT
public:
    struct Publication
    {
        int id;
        QString sujet;
        QByteArray charge;
        int qos;
        bool retenu;
    };

    void demarrer(const ReglagesLienMqtt &reglages) override;
    void arreter() override;
    EtatLienMqtt etat() const override { return m_etat; }
    std::optional<int> publier(const QString &sujet, const QByteArray &charge, int qos,
                               bool retenu) override;
    bool abonner(const QString &filtre, int qos) override;
    QString derniereErreur() const override { return m_erreur; }

    void simulerConnexion(bool sessionPresente = true);
    void simulerCoupure(const QString &raison);
    void simulerAcquittement(int idMessage);
    void simulerMessage(const QString &sujet, const QByteArray &charge);

    const ReglagesLienMqtt &reglages() const { return m_reglages; }
    const QList<Publication> &publications() const { return m_publications; }
    const QStringList &abonnements() const { return m_abonnements; }

private:
    ReglagesLienMqtt m_reglages;
    EtatLienMqtt m_etat = EtatLienMqtt::Arrete;
    QString m_erreur;
    QList<Publication> m_publications;
    QStringList m_abonnements;
    int m_prochainId = 1;
};

} // namespace Movendi::Platform
