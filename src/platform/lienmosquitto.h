#pragma once

#include "platform/lienmqtt.h"

#include <memory>
#include <optional>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

namespace Movendi::Platform {

// The link over libmosquitto, driven from the Qt event loop of the thread it lives on: socket
// notifiers call mosquitto_loop_read/write, the clock seam calls mosquitto_loop_misc every
// second; no thread of its own (a host name is looked up through Qt's resolver first). Each attempt
// uses a fresh client (the session lives on the broker under the client id) and gives up after its
// bound; then the next waits its turn on the back-off schedule.
class LienMosquitto final : public LienMqtt
{
    Q_OBJECT
public:
    // Longest an attempt may take from the socket to the broker's CONNACK.
    static constexpr qint64 DelaiTentativeMs = 10000;

    explicit LienMosquitto(QObject *parent = nullptr);
    ~LienMosquitto() override;

    void demarrer(const ReglagesLienMqtt &reglages) override;
    void arreter() override;
    EtatLienMqtt etat() const override { return m_etat; }
    std::optional<int> publier(const QString &sujet, const QByteArray &charge, int qos,
                               bool retenu) override;
    bool abonner(const QString &filtre, int qos) override;
    QString derniereErreur() const override { return m_erreur; }

private:
    void tenter();
    void connecterA(const QString &hote);
    // Ends the attempt or link: the client goes, the next attempt is planned.
    void echec(const QString &raison);
    void fermerClient();
    void planifier();
    void surveiller();
    void lire();
    void ecrire();
    void entretenir();
    // After each step: the write notifier follows what libmosquitto has to send.
    void suivreEcriture();
    bool verifier(int rc, const char *etape);

    // Runs one libmosquitto step; what its callbacks asked to end is done once it returns.
    template <typename Pas> void executer(Pas pas);

    static void surConnexion(mosquitto *client, void *moi, int rc, int drapeaux);
    static void surDeconnexion(mosquitto *client, void *moi, int rc);
    static void surPublication(mosquitto *client, void *moi, int idMessage);
    static void surMessage(mosquitto *client, void *moi, const mosquitto_message *message);

    ReglagesLienMqtt m_reglages;
    EtatLienMqtt m_etat = EtatLienMqtt::Arrete;
    QString m_erreur;
    mosquitto *m_client = nullptr;
    std::unique_ptr<QSocketNotifier> m_lecture;
    std::unique_ptr<QSocketNotifier> m_ecriture;
    int m_echecs = 0;
    quint64 m_minuterie = 0;
    quint64 m_limiteTentative = 0;
    bool m_dansPas = false;
    quint64 m_tentative = 0;
    // Set by the callbacks or a stop inside a step, carried out after it.
    std::optional<QString> m_finDemandee;
    bool m_arretDemande = false;
};

} // namespace Movendi::Platform
