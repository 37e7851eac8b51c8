#include "flotte/presenceflotte.h"

#include "platform/lienmqtt.h"

#include <utility>

namespace Movendi::Flotte {

PresenceFlotte::PresenceFlotte(Platform::LienMqtt &lien, Config::ReglagesFlotte reglages,
                               QObject *parent)
    : QObject(parent), m_lien(lien), m_reglages(std::move(reglages))
{
    connect(&m_lien, &Platform::LienMqtt::connecte, this, [this] { annoncer(EnLigne); });
}

void PresenceFlotte::demarrer()
{
    m_lien.demarrer(m_reglages.lien);
}

void PresenceFlotte::arreter()
{
    annoncer(HorsLigne);
    m_lien.arreter();
}

void PresenceFlotte::annoncer(const char *presence)
{
    // Down, nothing goes: the will, or the next connection's "en-ligne", says it.
    m_lien.publier(m_reglages.sujet(QStringLiteral("presence")), QByteArray(presence), 1, true);
}

} // namespace Movendi::Flotte
