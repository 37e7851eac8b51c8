#pragma once

#include "config/reglagesflotte.h"

#include <QObject>

namespace Movendi::Platform {
class LienMqtt;
}

namespace Movendi::Flotte {

// The kiosk's presence on its fleet topic, retained for whoever subscribes later: "en-ligne" at
// each connection, "hors-ligne" at an orderly stop; the broker publishes the same word as the
// link's will when the kiosk vanishes (killed, powered off, cut off past the keep-alive).
class PresenceFlotte : public QObject
{
    Q_OBJECT
public:
    PresenceFlotte(Platform::LienMqtt &lien, Config::ReglagesFlotte reglages,
                   QObject *parent = nullptr);

    // Connects, and keeps connecting, without ever waiting.
    void demarrer();
    // "hors-ligne" goes out before the goodbye, so the broker drops the will and keeps that.
    void arreter();

    static constexpr const char *EnLigne = "en-ligne";
    static constexpr const char *HorsLigne = "hors-ligne";

private:
    void annoncer(const char *presence);

    Platform::LienMqtt &m_lien;
    const Config::ReglagesFlotte m_reglages;
};

} // namespace Movendi::Flotte
