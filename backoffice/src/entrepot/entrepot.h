#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace Movendi::Backoffice {

class ConnexionPg;

// A kiosk's name as the topics carry it: letters, digits, '.', '_' and '-'. Any other is no
// kiosk of the fleet, and goes no further than this check.
bool nomKiosqueValide(const QString &nom);

// What became of one message from the broker.
struct Reception
{
    enum Issue {
        Stocke, // new: stored with what it reports
        Repete, // an event already stored under its id: nothing changed
        Rejete, // does not follow the contract: kept aside with the reason
        Ignore, // not for the store (the service's own commands)
    };
    Issue issue = Ignore;
    QString kiosque;
    QString raison; // why it was set aside
};

// Stores what the kiosks publish under "P/K/...": their presence and state, each event once by
// its id with what it reports (sales and their lines, location changes, remittances, alarms),
// and their answers to commands. A message that does not follow the contract is kept in
// messages_rejetes with the reason and counted; nothing else of it is stored. Each message is
// one transaction.
class Entrepot
{
public:
    Entrepot(ConnexionPg &base, QString prefixe);

    // Throws ErreurBase when the database fails (the message is then not acknowledged as
    // handled by the caller, and comes again).
    Reception recevoir(const QString &sujet, const QByteArray &charge, const QDateTime &maintenant);

    // Keeps the message in messages_rejetes with the reason, its card numbers masked.
    void mettreDeCote(const QString &sujet, const QByteArray &charge, const QDateTime &maintenant,
                      const QString &raison);

    // Messages set aside since this started.
    qint64 rejetes() const { return m_rejetes; }

private:
    ConnexionPg &m_base;
    const QString m_prefixe;
    qint64 m_rejetes = 0;
};

} // namespace Movendi::Backoffice
