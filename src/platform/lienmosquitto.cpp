#include "platform/lienmosquitto.h"

#include "platform/clock.h"
#include "platform/seams.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>

#include <mosquitto.h>

#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

namespace Movendi::Platform {

namespace {

// Packets read in one pass of the event loop at most, so that a flood never holds it long.
constexpr int PaquetsParPasse = 200;

void initialiserBibliotheque()
{
    static std::once_flag fait;
    std::call_once(fait, [] { mosquitto_lib_init(); });
}

QString texteErreur(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

QByteArray local(const QString &chemin)
{
    return chemin.toLocal8Bit();
}

} // namespace

LienMosquitto::LienMosquitto(QObject *parent) : LienMqtt(parent)
{
    initialiserBibliotheque();
}

LienMosquitto::~LienMosquitto()
{
    clock().cancel(m_minuterie);
    clock().cancel(m_limiteTentative);
    fermerClient();
}

void LienMosquitto::demarrer(const ReglagesLienMqtt &reglages)
{
    arreter();
    m_reglages = reglages;
    m_echecs = 0;
    m_erreur.clear();
    tenter();
}

void LienMosquitto::arreter()
{
    if (m_dansPas) {
        m_arretDemande = true;
        return;
    }
    clock().cancel(m_minuterie);
    clock().cancel(m_limiteTentative);
    m_minuterie = m_limiteTentative = 0;
    if (m_client && m_etat == EtatLienMqtt::Connecte) {
        // DISCONNECT goes out at once on a connected socket: the broker drops the will.
        mosquitto_disconnect(m_client);
        mosquitto_loop_write(m_client, 1);
    }
    fermerClient();
    m_etat = EtatLienMqtt::Arrete;
}

void LienMosquitto::tenter()
{
    m_minuterie = 0;
    fermerClient();
    m_etat = EtatLienMqtt::Connexion;
    const QByteArray id = m_reglages.identifiant.toUtf8();
    // Clean session off: the broker keeps what this client subscribed and did not acknowledge.
    m_client = mosquitto_new(id.constData(), false, this);
    if (!m_client) {
        echec(QStringLiteral("mosquitto_new: %1").arg(QString::fromLocal8Bit(strerror(errno))));
        return;
    }
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_with_flags_callback_set(m_client, &LienMosquitto::surConnexion);
    mosquitto_disconnect_callback_set(m_client, &LienMosquitto::surDeconnexion);
    mosquitto_publish_callback_set(m_client, &LienMosquitto::surPublication);
    mosquitto_message_callback_set(m_client, &LienMosquitto::surMessage);

    if (!m_reglages.utilisateur.isEmpty()) {
        const QByteArray u = m_reglages.utilisateur.toUtf8();
        const QByteArray p = m_reglages.motDePasse.toUtf8();
        if (!verifier(mosquitto_username_pw_set(m_client, u.constData(),
                                                p.isEmpty() ? nullptr : p.constData()),
                      "login"))
            return;
    }
    if (!m_reglages.sujetTestament.isEmpty()) {
        const QByteArray sujet = m_reglages.sujetTestament.toUtf8();
        if (!verifier(mosquitto_will_set(m_client, sujet.constData(),
                                         int(m_reglages.testament.size()),
                                         m_reglages.testament.constData(), 1, true),
                      "will"))
            return;
    }
    if (!m_reglages.ca.isEmpty()) {
        const QByteArray ca = local(m_reglages.ca);
        const QByteArray certificat = local(m_reglages.certificat);
        const QByteArray cle = local(m_reglages.cle);
        const bool client = !m_reglages.certificat.isEmpty();
        if (!verifier(mosquitto_tls_set(m_client, ca.constData(), nullptr,
                                        client ? certificat.constData() : nullptr,
                                        client ? cle.constData() : nullptr, nullptr),
                      "TLS"))
            return;
        // The broker's certificate and its name are both checked.
        mosquitto_tls_insecure_set(m_client, false);
        if (!verifier(mosquitto_tls_opts_set(m_client, 1, nullptr, nullptr), "TLS"))
            return;
    }

    m_limiteTentative = clock().callAfter(DelaiTentativeMs, [this] {
        m_limiteTentative = 0;
        if (m_etat == EtatLienMqtt::Connexion)
            echec(QStringLiteral("no answer from the broker within %1 s")
                      .arg(DelaiTentativeMs / 1000));
    });
    // libmosquitto resolves a name on the calling thread: a dead resolver would hold the
    // screens. The name is looked up off this thread first.
    if (QHostAddress().setAddress(m_reglages.serveur)) {
        connecterA(m_reglages.serveur);
        return;
    }
    const quint64 tentative = m_tentative;
    QHostInfo::lookupHost(m_reglages.serveur, this, [this, tentative](const QHostInfo &info) {
        if (tentative != m_tentative || m_etat != EtatLienMqtt::Connexion || !m_client)
            return;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            echec(QStringLiteral("name lookup: %1").arg(info.errorString()));
            return;
        }
        // Without TLS an address found is used (IPv4 first, as brokers listen there most)
        // and libmosquitto resolves nothing. With TLS the certificate is checked against the
        // name, which libmosquitto then resolves again, just after this lookup answered.
        QHostAddress adresse = info.addresses().constFirst();
        for (const QHostAddress &a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                adresse = a;
                break;
            }
        }
        connecterA(m_reglages.ca.isEmpty() ? adresse.toString() : m_reglages.serveur);
    });
}

void LienMosquitto::connecterA(const QString &hote)
{
    const QByteArray h = hote.toUtf8();
    if (!verifier(mosquitto_connect_async(m_client, h.constData(), m_reglages.port,
                                          m_reglages.keepAliveS),
                  "connect"))
        return;
    surveiller();
    m_minuterie = clock().callAfter(1000, [this] { entretenir(); });
}

bool LienMosquitto::verifier(int rc, const char *etape)
{
    if (rc == MOSQ_ERR_SUCCESS)
        return true;
    echec(QStringLiteral("%1: %2").arg(QLatin1String(etape), texteErreur(rc)));
    return false;
}

void LienMosquitto::surveiller()
{
    const int fd = mosquitto_socket(m_client);
    if (fd < 0) {
        echec(QStringLiteral("no socket"));
        return;
    }
    m_lecture = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_lecture.get(), &QSocketNotifier::activated, this, &LienMosquitto::lire);
    m_ecriture = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(m_ecriture.get(), &QSocketNotifier::activated, this, &LienMosquitto::ecrire);
    // The socket's connection completes on writability; the CONNECT waits behind it.
    m_ecriture->setEnabled(true);
}

template <typename Pas> void LienMosquitto::executer(Pas pas)
{
    if (!m_client)
        return;
    m_dansPas = true;
    const int rc = pas(m_client);
    m_dansPas = false;
    if (m_arretDemande) {
        m_arretDemande = false;
        m_finDemandee.reset();
        arreter();
        return;
    }
    if (rc != MOSQ_ERR_SUCCESS && !m_finDemandee)
        m_finDemandee = texteErreur(rc);
    if (m_finDemandee) {
        const QString raison = *std::exchange(m_finDemandee, std::nullopt);
        echec(raison);
        return;
    }
    suivreEcriture();
}

void LienMosquitto::lire()
{
    // libmosquitto reads one packet a call: what already waits on the socket is read in the
    // same pass (bounded), not one pass of the event loop per message.
    executer([](mosquitto *c) {
        int rc = mosquitto_loop_read(c, 1);
        for (int i = 1; rc == MOSQ_ERR_SUCCESS && i < PaquetsParPasse; ++i) {
            int enAttente = 0;
            if (::ioctl(mosquitto_socket(c), FIONREAD, &enAttente) != 0 || enAttente <= 0)
                break;
            rc = mosquitto_loop_read(c, 1);
        }
        return rc;
    });
}

void LienMosquitto::ecrire()
{
    executer([](mosquitto *c) { return mosquitto_loop_write(c, 1); });
}

void LienMosquitto::entretenir()
{
    m_minuterie = clock().callAfter(1000, [this] { entretenir(); });
    // Keep-alive pings, and the broker's silence past the keep-alive ends the link.
    executer([](mosquitto *c) { return mosquitto_loop_misc(c); });
}

void LienMosquitto::suivreEcriture()
{
    if (m_ecriture && m_client)
        m_ecriture->setEnabled(mosquitto_want_write(m_client));
}

void LienMosquitto::echec(const QString &raison)
{
    const bool etaitConnecte = m_etat == EtatLienMqtt::Connecte;
    m_erreur = raison;
    clock().cancel(m_limiteTentative);
    m_limiteTentative = 0;
    clock().cancel(m_minuterie);
    m_minuterie = 0;
    fermerClient();
    ++m_echecs;
    planifier();
    if (etaitConnecte)
        emit deconnecte(raison);
}

void LienMosquitto::planifier()
{
    m_etat = EtatLienMqtt::Attente;
    m_minuterie = clock().callAfter(delaiReconnexionMs(m_echecs), [this] { tenter(); });
}

void LienMosquitto::fermerClient()
{
    // A name lookup still under way belongs to the attempt that ends here.
    ++m_tentative;
    m_lecture.reset();
    m_ecriture.reset();
    if (m_client) {
        mosquitto_destroy(m_client);
        m_client = nullptr;
    }
}

std::optional<int> LienMosquitto::publier(const QString &sujet, const QByteArray &charge, int qos,
                                          bool retenu)
{
    if (m_etat != EtatLienMqtt::Connecte || !m_client)
        return std::nullopt;
    int id = 0;
    const QByteArray s = sujet.toUtf8();
    const int rc = mosquitto_publish(m_client, &id, s.constData(), int(charge.size()),
                                     charge.constData(), qos, retenu);
    if (rc != MOSQ_ERR_SUCCESS) {
        m_erreur = QStringLiteral("publish: %1").arg(texteErreur(rc));
        return std::nullopt;
    }
    suivreEcriture();
    return id;
}

bool LienMosquitto::abonner(const QString &filtre, int qos)
{
    if (m_etat != EtatLienMqtt::Connecte || !m_client)
        return false;
    const QByteArray f = filtre.toUtf8();
    const bool ok = mosquitto_subscribe(m_client, nullptr, f.constData(), qos) == MOSQ_ERR_SUCCESS;
    suivreEcriture();
    return ok;
}

void LienMosquitto::surConnexion(mosquitto *, void *moi, int rc, int drapeaux)
{
    auto *lien = static_cast<LienMosquitto *>(moi);
    if (rc != 0) {
        // Refused by the broker (bad login, not authorised...): tried again on the schedule.
        lien->m_finDemandee =
            QStringLiteral("refused: %1").arg(QString::fromUtf8(mosquitto_connack_string(rc)));
        return;
    }
    clock().cancel(lien->m_limiteTentative);
    lien->m_limiteTentative = 0;
    lien->m_etat = EtatLienMqtt::Connecte;
    lien->m_echecs = 0;
    emit lien->connecte((drapeaux & 1) != 0);
}

void LienMosquitto::surDeconnexion(mosquitto *, void *moi, int rc)
{
    auto *lien = static_cast<LienMosquitto *>(moi);
    if (!lien->m_finDemandee)
        lien->m_finDemandee = rc == 0 ? QStringLiteral("disconnected")
                                      : QStringLiteral("link lost: ") + texteErreur(rc);
}

void LienMosquitto::surPublication(mosquitto *, void *moi, int idMessage)
{
    emit static_cast<LienMosquitto *>(moi)->acquitte(idMessage);
}

void LienMosquitto::surMessage(mosquitto *, void *moi, const mosquitto_message *message)
{
    emit static_cast<LienMosquitto *>(moi)->recu(
        QString::fromUtf8(message->topic),
        QByteArray(static_cast<const char *>(message->payload), message->payloadlen));
}

} // namespace Movendi::Platform
