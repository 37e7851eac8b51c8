// libFuzzer target: any text read as an amount. What is read back writes and reads again as
// the same amount; what is refused is refused without overflow (the sanitizers watch).
#include "money/monnaie.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

using Movendi::Money::Monnaie;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString texte = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<Monnaie> lu = Monnaie::depuisTexte(texte);
    if (!lu)
        return 0;
    if (Monnaie::depuisTexte(lu->texteExact()) != lu)
        std::abort();
    // The screen's rounded form reads back as the amount rounded to the cent.
    const std::optional<Monnaie> arrondi = Monnaie::depuisTexte(lu->texteMonetaire());
    if (!arrondi || arrondi->centimes() != lu->centimes())
        std::abort();
    return 0;
}
