#pragma once

#include "flotte/ouvrirbase.h"

#include "config/reglagesflotte.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace Movendi::Platform {
class LienMqtt;
}
namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Flotte {

// A command as read from "P/K/commandes".
struct Commande
{
    enum Nature { HorsService, EnService, Etat };
    QString id;
    Nature nature = Etat;
};

// The command, or why it is refused (not a JSON object, no id, an unknown command).
struct LectureCommande
{
    std::optional<Commande> commande;
    QString id; // as far as it could be read, for the answer
    QString refus;
};
LectureCommande lireCommande(const QByteArray &charge);

// The back-office's commands: "hors-service" (the sale in progress finishes, then the kiosk
// takes no customer, also after a restart), "en-service", "etat" (the state at once). Each is
// journalled and answered on "P/K/reponses"; a command that cannot be read is refused and
// changes nothing.
class CommandesFlotte : public QObject
{
    Q_OBJECT
public:
    CommandesFlotte(Platform::LienMqtt &lien, Config::ReglagesFlotte reglages,
                    OuvrirBase ouvrirBase, std::function<void()> publierEtat,
                    QObject *parent = nullptr);

    // The kiosk as the last command left it before the restart.
    void retablir();

    static constexpr const char *CleHorsService = "HorsServiceFlotte";

private:
    void recu(const QString &sujet, const QByteArray &charge);
    void repondre(const QString &id, bool ok, const QString &message);
    // False with the reason when the store did not keep it.
    bool garder(bool horsService, QString *raison);

    Platform::LienMqtt &m_lien;
    const Config::ReglagesFlotte m_reglages;
    const QString m_sujetCommandes;
    OuvrirBase m_ouvrirBase;
    std::function<void()> m_publierEtat;
};

} // namespace Movendi::Flotte
