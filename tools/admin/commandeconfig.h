#pragma once

#include "commandes.h"

#include <QList>
#include <QString>

namespace Movendi::Admin {

// One RURUDIZ.ini key the kiosk reads, or a numbered family of them ("Mailto1" to "Mailto20").
struct CleConfiguration
{
    QString section;
    QString cle;     // the key, or the family's prefix
    int premier = 0; // a family: its numbers; 0 for a single key
    int dernier = 0;
    QString defaut; // what the kiosk takes when the key is absent, as shown to staff
    QString role;   // what the kiosk does with it, in a few words
};

// Every key the kiosk reads from RURUDIZ.ini, by section, in the order the check shows them.
QList<CleConfiguration> clesConfiguration();

// movendi-admin config DIR: every key with its value and default, unknown keys and invalid
// values flagged, devices still to fill in reported as such.
extern const Commande CommandeConfig;

} // namespace Movendi::Admin
