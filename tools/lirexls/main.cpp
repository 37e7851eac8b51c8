// movendi-lirexls FICHIER: reads a delivery list through FreeXL and writes it on the standard
// output as JSON, or its error as {"erreur": N, "description": "..."} with exit status 1. The
// kiosk runs it for each list so that a workbook that corrupts FreeXL's memory ends this process
// only; its own limits keep a runaway read from costing the machine.
#include "journal/erreur.h"
#include "stock/listeimei.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define MOVENDI_SOUS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MOVENDI_SOUS_ASAN 1
#endif
#endif

using namespace Movendi;

#ifdef MOVENDI_SOUS_ASAN
// Under the sanitizers the address-space limit cannot hold: they bound each allocation instead.
extern "C" const char *__asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=1024:hard_rss_limit_mb=1024";
}
#endif

namespace {

void limiter(int ressource, rlim_t valeur)
{
    const rlimit limite{valeur, valeur};
    setrlimit(ressource, &limite);
}

void ecrire(const QByteArray &octets)
{
    std::fwrite(octets.constData(), 1, size_t(octets.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: movendi-lirexls FICHIER\n", stderr);
        return 64;
    }
    limiter(RLIMIT_CPU, 10);  // seconds of processor
    limiter(RLIMIT_FSIZE, 0); // it writes no file
    limiter(RLIMIT_CORE, 0);
#ifndef MOVENDI_SOUS_ASAN
    // The sanitizers reserve terabytes of address space for their shadow memory.
    limiter(RLIMIT_AS, rlim_t(1024) * 1024 * 1024);
#endif
    try {
        ecrire(Stock::ListeIMEI::lireSurPlace(QFile::decodeName(argv[1])).versJson());
        return 0;
    } catch (const Journal::ErreurExecution &erreur) {
        ecrire(QJsonDocument(QJsonObject{{QStringLiteral("erreur"), erreur.numero()},
                                         {QStringLiteral("description"), erreur.description()}})
                   .toJson(QJsonDocument::Compact));
        return 1;
    }
}
