// libFuzzer target: any payload on the kiosk's command topic. Each is either one of the three
// commands with its id, or refused with a reason; never both, never neither.
#include "flotte/commandesflotte.h"

#include <cstdint>
#include <cstdlib>

using Movendi::Flotte::LectureCommande;
using Movendi::Flotte::lireCommande;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const LectureCommande lu =
        lireCommande(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (lu.commande.has_value() == !lu.refus.isEmpty())
        std::abort();
    if (lu.commande && (lu.commande->id.isEmpty() || lu.commande->id != lu.id))
        std::abort();
    return 0;
}
