#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <deque>
#include <functional>

namespace Movendi::Backoffice {

class Entrepot;

// What the broker delivered while the database could not take it: kept in memory, in order, and
// stored by reessayer() once it can (the broker considers it delivered already). New messages
// queue behind, so the order stays. At most Capacite messages; past that the oldest goes, said
// in the log.
class Tampon
{
public:
    using Journal = std::function<void(const QString &)>;

    Tampon(Entrepot &entrepot, Journal journal);

    void recevoir(const QString &sujet, const QByteArray &charge, const QDateTime &quand);
    // Stores what waits, in order, until the database fails again.
    void reessayer();
    std::size_t enAttente() const { return m_file.size(); }

    static constexpr std::size_t Capacite = 100000;

private:
    struct Message
    {
        QString sujet;
        QByteArray charge;
        QDateTime quand;
    };
    // False when the database refused it (it stays first in line).
    bool stocker(const Message &m);

    Entrepot &m_entrepot;
    Journal m_journal;
    std::deque<Message> m_file;
    bool m_enPanne = false;
};

} // namespace Movendi::Backoffice
