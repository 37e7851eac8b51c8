#include "front/kiosque.h"

#include "startup/liaisonpaiement.h"

namespace Movendi::Front {

Kiosque::Kiosque()
    : m_terminal(Startup::environnementTerminal()), m_poste(m_terminal), m_ecrans(m_poste),
      m_installation(&m_ecrans)
{
}

Kiosque::~Kiosque() = default;

} // namespace Movendi::Front
