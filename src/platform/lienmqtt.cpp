#include "platform/lienmqtt.h"

#include <algorithm>

namespace Movendi::Platform {

qint64 delaiReconnexionMs(int echecs)
{
    const int puissance = std::clamp(echecs - 1, 0, 6);
    return std::min<qint64>(qint64(1000) << puissance, 60000);
}

void LienMqttEnregistre::demarrer(const ReglagesLienMqtt &reglages)
{
    m_reglages = reglages;
    m_etat = EtatLienMqtt::Connexion;
}

void LienMqttEnregistre::arreter()
{
    m_etat = EtatLienMqtt::Arrete;
}

std::optional<int> LienMqttEnregistre::publier(const QString &sujet, const QByteArray &charge,
                                               int qos, bool retenu)
{
    if (m_etat != EtatLienMqtt::Connecte)
        return std::nullopt;
    const int id = m_prochainId++;
    m_publications.append({id, sujet, charge, qos, retenu});
    return id;
}

bool LienMqttEnregistre::abonner(const QString &filtre, int)
{
    if (m_etat != EtatLienMqtt::Connecte)
        return false;
    m_abonnements.append(filtre);
    return true;
}

void LienMqttEnregistre::simulerConnexion(bool sessionPresente)
{
    m_etat = EtatLienMqtt::Connecte;
    emit connecte(sessionPresente);
}

void LienMqttEnregistre::simulerCoupure(const QString &raison)
{
    m_etat = EtatLienMqtt::Attente;
    m_erreur = raison;
    emit deconnecte(raison);
}

void LienMqttEnregistre::simulerAcquittement(int idMessage)
{
    emit acquitte(idMessage);
}

void LienMqttEnregistre::simulerMessage(const QString &sujet, const QByteArray &charge)
{
    emit recu(sujet, charge);
}

} // namespace Movendi::Platform
