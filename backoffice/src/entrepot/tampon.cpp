#include "entrepot/tampon.h"

#include "entrepot/connexionpg.h"
#include "entrepot/entrepot.h"

namespace Movendi::Backoffice {

Tampon::Tampon(Entrepot &entrepot, Journal journal)
    : m_entrepot(entrepot), m_journal(std::move(journal))
{
}

bool Tampon::stocker(const Message &m)
{
    try {
        const Reception r = m_entrepot.recevoir(m.sujet, m.charge, m.quand);
        if (r.issue == Reception::Rejete)
            m_journal(QStringLiteral("message mis de côté (%1): %2").arg(m.sujet, r.raison));
        if (m_enPanne) {
            m_enPanne = false;
            m_journal(QStringLiteral("base de nouveau accessible"));
        }
        return true;
    } catch (const ErreurBase &erreur) {
        if (!m_enPanne) {
            m_enPanne = true;
            m_journal(QStringLiteral("base inaccessible, messages gardés en mémoire: ") +
                      erreur.raison());
        }
        return false;
    }
}

void Tampon::recevoir(const QString &sujet, const QByteArray &charge, const QDateTime &quand)
{
    Message m{sujet, charge, quand};
    if (m_file.empty() && stocker(m))
        return;
    if (m_file.size() >= Capacite) {
        m_journal(QStringLiteral("mémoire d'attente pleine: message perdu (%1)")
                      .arg(m_file.front().sujet));
        m_file.pop_front();
    }
    m_file.push_back(std::move(m));
}

void Tampon::reessayer()
{
    while (!m_file.empty() && stocker(m_file.front()))
        m_file.pop_front();
}

} // namespace Movendi::Backoffice
