#pragma once

#include "flotte/ouvrirbase.h"

#include "config/reglagesflotte.h"

#include <QDateTime>
#include <QJsonObject>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace Movendi::Platform {
class LienMqtt;
}
namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Flotte {

// The kiosk's version as its events and state give it.
QString versionKiosque();

// What the state message says that only the screens know.
struct SourcesEtat
{
    // "accueil", "choix", "paiement", "film", "remplissage" or "hors-service".
    std::function<QString()> ecran;
    std::function<bool()> enService;
    // Events not yet acknowledged by the broker.
    std::function<std::optional<qint64>()> fileAttente;
};

// The state as published on "P/K/etat": the sources' part, the stock, the free locations and
// the last sale from the store, the journal's records of the last 24 hours. A part the store
// cannot give is left out rather than the message.
QJsonObject etatKiosque(Store::StoreDatabase *base, const SourcesEtat &sources,
                        const Config::ReglagesFlotte &reglages, const QDateTime &depuis,
                        const QDateTime &maintenant);

// Publishes the state, retained, every Battement seconds, at each connection and at each change
// of screen or service (changement()).
class EtatFlotte : public QObject
{
    Q_OBJECT
public:
    EtatFlotte(Platform::LienMqtt &lien, Config::ReglagesFlotte reglages, SourcesEtat sources,
               OuvrirBase ouvrirBase, QObject *parent = nullptr);
    ~EtatFlotte() override;

    // Publishes now when the screen or the service differs from the last message.
    void changement();
    // Publishes now.
    void publier();

private:
    void programmer();

    Platform::LienMqtt &m_lien;
    const Config::ReglagesFlotte m_reglages;
    SourcesEtat m_sources;
    OuvrirBase m_ouvrirBase;
    const QDateTime m_depuis;
    QString m_dernierEcran;
    std::optional<bool> m_dernierService;
    quint64 m_battement = 0;
};

} // namespace Movendi::Flotte
