#pragma once

#include "flotte/ouvrirbase.h"

#include "config/reglagesflotte.h"

#include <QList>
#include <QObject>

#include <functional>
#include <map>
#include <memory>

namespace Movendi::Platform {
class LienMqtt;
}
namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Flotte {

// Publishes the store's outbox on "P/K/evenements" in seq order at QoS 1, and deletes each
// event once the broker acknowledged it. At each connection it starts again from the oldest
// event still there: what was sent and not acknowledged goes again, and consumers drop the
// repeats by id. Never waits: it works from the link's signals and passes of the event loop.
class EmetteurFlotte : public QObject
{
    Q_OBJECT
public:
    EmetteurFlotte(Platform::LienMqtt &lien, Config::ReglagesFlotte reglages, OuvrirBase ouvrirBase,
                   QObject *parent = nullptr);
    ~EmetteurFlotte() override;

    // An event was written: it goes on the next pass.
    void signaler();
    // Events not yet acknowledged; none when the store cannot be read.
    std::optional<qint64> fileAttente();
    // Runs the event loop until the outbox is empty or `delaiMs` has passed (the orderly stop,
    // the staff tool). True when everything was acknowledged.
    bool vider(qint64 delaiMs);

    // Events in flight at once; more wait in the store.
    static constexpr int Fenetre = 100;

private:
    void planifier();
    void passe();
    void acquitte(int idMessage);
    void reprendreDuDebut();
    Store::StoreDatabase *base();
    void echecBase(const QString &quoi, const QString &raison);

    Platform::LienMqtt &m_lien;
    const Config::ReglagesFlotte m_reglages;
    const QString m_sujet;
    OuvrirBase m_ouvrirBase;
    std::unique_ptr<Store::StoreDatabase> m_base;
    std::map<int, qint64> m_enVol; // message id -> seq
    QList<qint64> m_acquittes;
    qint64 m_curseur = 0; // last seq published on this connection
    quint64 m_passe = 0;
    bool m_baseEnEchec = false;
};

} // namespace Movendi::Flotte
