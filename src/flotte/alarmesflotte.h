#pragma once

#include "flotte/ouvrirbase.h"

#include "journal/journal.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Flotte {

// The alarm code the fleet gives a journal record: "porte", "base", "terminal", "imprimante",
// "mecanisme", "ftp", "mail", or "journal" for any other record. Empty for the fleet's own
// records (its commands), which are not alarms.
QString codeAlarme(const QString &contexte, const QString &erreur);

// Every journal record becomes an "alarme" event, each in its own transaction. Records come at
// any point of a routine, some inside another connection's transaction: they are kept and
// written on the next pass of the event loop.
class AlarmesFlotte
{
public:
    explicit AlarmesFlotte(OuvrirBase ouvrirBase);
    ~AlarmesFlotte();
    AlarmesFlotte(const AlarmesFlotte &) = delete;
    AlarmesFlotte &operator=(const AlarmesFlotte &) = delete;

    // Writes what waits (also called by the deferred pass).
    void ecrire();

    // The fleet's own journal context.
    static constexpr const char *ContexteFlotte = "Flotte";
    // Records kept at most while the store cannot take them; older ones go.
    static constexpr int AttenteMax = 200;

private:
    struct Alarme
    {
        QString code, contexte, message;
    };

    void noter(const QString &contexte, const QString &erreur);

    OuvrirBase m_ouvrirBase;
    Journal::ObservateurJournal m_avant;
    QList<Alarme> m_enAttente;
    quint64 m_passe = 0;
};

} // namespace Movendi::Flotte
