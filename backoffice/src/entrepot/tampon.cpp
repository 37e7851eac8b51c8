#include "entrepot/tampon.h"

#include "entrepot/connexionpg.h"
#include "entrepot/entrepot.h"
#include "platform/clock.h"
#include "platform/seams.h"

namespace Movendi::Backoffice {

Tampon::Tampon(ConnexionPg &base, Entrepot &entrepot, Journal journal)
    : m_base(base), m_entrepot(entrepot), m_journal(std::move(journal))
{
}

Tampon::~Tampon()
{
    if (m_passe)
        Platform::clock().cancel(m_passe);
}

bool Tampon::stockerLot()
{
    std::size_t n = std::min(m_file.size(), Lot);
    QStringList rejetes;
    try {
        m_base.enTransaction([&] {
            for (std::size_t i = 0; i < n; ++i) {
                const Message &m = m_file[i];
                const Reception r = m_entrepot.recevoir(m.sujet, m.charge, m.quand);
                if (r.issue == Reception::Rejete)
                    rejetes
                        << QStringLiteral("message mis de côté (%1): %2").arg(m.sujet, r.raison);
            }
        });
    } catch (const ErreurBase &erreur) {
        // A database that answers but refuses one message must not hold up all that follow.
        rejetes.clear();
        const bool isoles = baseRepond() && stockerUnParUn(n, rejetes);
        for (const QString &r : std::as_const(rejetes))
            m_journal(r);
        rejetes.clear();
        if (!isoles) {
            if (!m_enPanne) {
                m_enPanne = true;
                m_journal(QStringLiteral("base inaccessible, messages gardés en mémoire: ") +
                          erreur.raison());
            }
            return false;
        }
        n = 0; // already out of the line
    }
    m_file.erase(m_file.begin(), m_file.begin() + std::ptrdiff_t(n));
    for (const QString &r : rejetes)
        m_journal(r);
    if (m_enPanne) {
        m_enPanne = false;
        m_journal(QStringLiteral("base de nouveau accessible"));
    }
    return true;
}

bool Tampon::baseRepond()
{
    try {
        m_base.executer(QStringLiteral("SELECT 1"));
        return true;
    } catch (const ErreurBase &) {
        return false;
    }
}

bool Tampon::stockerUnParUn(std::size_t n, QStringList &rejetes)
{
    for (std::size_t i = 0; i < n; ++i) {
        const Message m = m_file.front();
        try {
            m_base.enTransaction([&] {
                const Reception r = m_entrepot.recevoir(m.sujet, m.charge, m.quand);
                if (r.issue == Reception::Rejete)
                    rejetes
                        << QStringLiteral("message mis de côté (%1): %2").arg(m.sujet, r.raison);
            });
        } catch (const ErreurBase &erreur) {
            if (!baseRepond())
                return false;
            const QString raison = QStringLiteral("refusé par la base: ") + erreur.raison();
            try {
                m_base.enTransaction(
                    [&] { m_entrepot.mettreDeCote(m.sujet, m.charge, m.quand, raison); });
            } catch (const ErreurBase &) {
                return false;
            }
            rejetes << QStringLiteral("message mis de côté (%1): %2").arg(m.sujet, raison);
        }
        m_file.pop_front();
    }
    return true;
}

void Tampon::recevoir(const QString &sujet, const QByteArray &charge, const QDateTime &quand)
{
    if (m_file.size() >= Capacite) {
        m_journal(QStringLiteral("mémoire d'attente pleine: message perdu (%1)")
                      .arg(m_file.front().sujet));
        m_file.pop_front();
    }
    m_file.push_back({sujet, charge, quand});
    // While the database is away, the retries alone: no pass at each message.
    if (!m_passe && !m_enPanne)
        m_passe = Platform::clock().callAfter(0, [this] {
            m_passe = 0;
            reessayer();
        });
}

void Tampon::reessayer()
{
    while (!m_file.empty() && stockerLot()) {
    }
}

} // namespace Movendi::Backoffice
