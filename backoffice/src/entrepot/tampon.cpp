#include "entrepot/tampon.h"

#include "entrepot/connexionpg.h"
#include "entrepot/entrepot.h"
#include "platform/clock.h"
#include "platform/seams.h"

#include <QStringList>

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

namespace {

QString misDeCote(const QString &sujet, const QString &raison)
{
    return QStringLiteral("message mis de côté (%1): %2").arg(sujet, raison);
}

} // namespace

bool Tampon::stockerLot()
{
    const std::size_t n = std::min(m_file.size(), Lot);
    QStringList rejetes;
    try {
        m_base.enTransaction([&] {
            for (std::size_t i = 0; i < n; ++i) {
                const Message &m = m_file[i];
                const Reception r = m_entrepot.recevoir(m.sujet, m.charge, m.quand);
                if (r.issue == Reception::Rejete)
                    rejetes << misDeCote(m.sujet, r.raison);
            }
        });
        m_file.erase(m_file.begin(), m_file.begin() + std::ptrdiff_t(n));
    } catch (const ErreurBase &erreur) {
        // A database that answers but refuses one message must not hold up all that follow.
        rejetes.clear(); // the batch was undone: each message says its own below
        if (!baseRepond() || !stockerUnParUn(n)) {
            if (!m_enPanne) {
                m_enPanne = true;
                m_journal(QStringLiteral("base inaccessible, messages gardés en mémoire: ") +
                          erreur.raison());
            }
            return false;
        }
    }
    for (const QString &r : std::as_const(rejetes))
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

bool Tampon::stockerUnParUn(std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const Message m = m_file.front();
        try {
            Reception r;
            m_base.enTransaction([&] { r = m_entrepot.recevoir(m.sujet, m.charge, m.quand); });
            if (r.issue == Reception::Rejete)
                m_journal(misDeCote(m.sujet, r.raison));
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
            m_journal(misDeCote(m.sujet, raison));
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
