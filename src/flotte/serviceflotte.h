#pragma once

#include "flotte/etatflotte.h"

#include <QString>

#include <memory>
#include <optional>

namespace Movendi::Platform {
class LienMqtt;
}
namespace Movendi::Store {
class BoiteEnvoiActivee;
}

namespace Movendi::Flotte {

class AlarmesFlotte;
class CommandesFlotte;
class EmetteurFlotte;
class PresenceFlotte;

// The kiosk's side of the fleet, when RURUDIZ.ini's "Flotte" section names a broker: from its
// construction the store's outbox is fed (so that the sales settled at start-up have their
// events) and journal records become alarms; from demarrer() the link runs, the outbox is
// published, the state goes out and commands are taken. Without a broker none of it exists.
class ServiceFlotte
{
public:
    ServiceFlotte(Platform::LienMqtt &lien, const QString &cheminIni);
    ~ServiceFlotte();
    ServiceFlotte(const ServiceFlotte &) = delete;
    ServiceFlotte &operator=(const ServiceFlotte &) = delete;

    bool actif() const { return m_actif; }

    // After start-up: the kiosk's identity is read and the screens exist.
    void demarrer(const QString &identiteMachine, SourcesEtat sources);
    // The screen or the service changed.
    void changement();
    // The "arret" event, what waits sent for up to DelaiArretMs, "hors-ligne", the goodbye.
    void arreter();

    static constexpr qint64 DelaiArretMs = 2000;
    // What staff read of the link (EtatKiosque): "connecté depuis ..." or "déconnecté depuis
    // ...: reason", written when it changes.
    static constexpr const char *CleLienFlotte = "LienFlotte";

private:
    void noterLien(bool connecte, const QString &raison);

    Platform::LienMqtt &m_lien;
    std::optional<bool> m_lienNote;
    const QString m_cheminIni;
    bool m_actif = false;
    bool m_demarre = false;
    std::unique_ptr<Store::BoiteEnvoiActivee> m_boite;
    std::unique_ptr<AlarmesFlotte> m_alarmes;
    std::unique_ptr<EmetteurFlotte> m_emetteur;
    std::unique_ptr<EtatFlotte> m_etat;
    std::unique_ptr<CommandesFlotte> m_commandes;
    std::unique_ptr<PresenceFlotte> m_presence;
};

} // namespace Movendi::Flotte
