#include "monnaie.h"

namespace Movendi::Startup {

std::int64_t Monnaie::centimes() const
{
    const std::int64_t half = m_unites >= 0 ? 50 : -50;
    return (m_unites + half) / 100;
}

} // namespace Movendi::Startup
