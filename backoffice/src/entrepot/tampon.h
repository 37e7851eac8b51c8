#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <deque>
#include <functional>

namespace Movendi::Backoffice {

class ConnexionPg;
class Entrepot;

// What the broker delivers, stored in batches: the messages of one pass of the event loop (at most
// Lot) in one transaction, each in a savepoint of its own, so that a thousand kiosks' states cost
// a commit each pass, not one each. What the database cannot take waits in memory, in order, and
// is stored by reessayer() once it can (the broker considers it delivered already). At most
// Capacite messages wait; past that the oldest goes, said in the log.
class Tampon
{
public:
    using Journal = std::function<void(const QString &)>;

    Tampon(ConnexionPg &base, Entrepot &entrepot, Journal journal);
    ~Tampon();

    // Queued; stored on the next pass of the event loop.
    void recevoir(const QString &sujet, const QByteArray &charge, const QDateTime &quand);
    // Stores what waits, in order, a batch at a time, until the database fails.
    void reessayer();

    static constexpr std::size_t Capacite = 100000;
    static constexpr std::size_t Lot = 1000;

private:
    struct Message
    {
        QString sujet;
        QByteArray charge;
        QDateTime quand;
    };
    // One batch from the front; false when the database refused it (it stays in line).
    bool stockerLot();
    // After a batch failed: its first n messages each in a transaction of its own, one the
    // database refuses while it answers set aside with the reason. False when the database
    // stopped answering (what is left stays in line).
    bool stockerUnParUn(std::size_t n);
    bool baseRepond();

    ConnexionPg &m_base;
    Entrepot &m_entrepot;
    Journal m_journal;
    std::deque<Message> m_file;
    bool m_enPanne = false;
    quint64 m_passe = 0;
};

} // namespace Movendi::Backoffice
