#include "state/disponibilite.h"

namespace Movendi::State {

QString Disponibilite::detail(Indisponibilite raison) const
{
    const auto it = m_raisons.find(raison);
    return it == m_raisons.end() ? QString() : it->second;
}

void Disponibilite::mettre(Indisponibilite raison, const QString &detail)
{
    const bool nouvelle = !contient(raison);
    m_raisons[raison] = detail;
    if (nouvelle)
        emit changee();
}

void Disponibilite::lever(Indisponibilite raison)
{
    if (m_raisons.erase(raison) != 0)
        emit changee();
}

void Disponibilite::reinitialiser()
{
    if (m_raisons.empty())
        return;
    m_raisons.clear();
    emit changee();
}

Disponibilite &disponibilite()
{
    static Disponibilite d;
    return d;
}

} // namespace Movendi::State
