#pragma once

#include "platform/lienmqtt.h"

#include <QString>

#include <optional>

namespace Movendi::Config {

// The fleet link as RURUDIZ.ini's "Flotte" section sets it.
struct ReglagesFlotte
{
    // The broker, the kiosk's session (client id: the kiosk's name) and its will ("hors-ligne"
    // retained on its presence topic).
    Platform::ReglagesLienMqtt lien;
    QString prefixe;
    // The kiosk's name in the topics.
    QString kiosque;
    int battementS = 60;

    // "P/K/quoi": presence, etat, evenements, commandes, reponses.
    QString sujet(const QString &quoi) const;
};

// The kiosk's name in topics and event ids: its identity, every character outside
// A-Z a-z 0-9 . _ - replaced by '_'.
QString nomKiosque(const QString &identiteMachine);

// Nothing when the section names no server: the kiosk then runs without a fleet.
std::optional<ReglagesFlotte> lireReglagesFlotte(const QString &cheminIni,
                                                 const QString &identiteMachine);

} // namespace Movendi::Config
