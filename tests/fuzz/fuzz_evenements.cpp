// libFuzzer target: any message on a kiosk's topics, as the back-office stores it in a real
// PostgreSQL (a cluster started for the run). The first byte picks the topic, the rest is the
// payload. Whatever it is, it is stored, found a repeat, set aside or ignored: the database never
// refuses it, as a message it refuses would be tried again forever and hold up every kiosk's.
#include "entrepot/connexionpg.h"
#include "entrepot/entrepot.h"
#include "entrepot/schema.h"
#include "serveurpostgres.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Movendi;
using namespace Movendi::Backoffice;

namespace {

struct Base
{
    Test::ServeurPostgres serveur;
    std::unique_ptr<ConnexionPg> connexion;
    std::unique_ptr<Entrepot> entrepot;
};

Base *base = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    base = new Base;
    if (!base->serveur.start() || !base->serveur.creerBase(QStringLiteral("flotte")))
        std::abort();
    base->connexion =
        std::make_unique<ConnexionPg>(base->serveur.connexion(QStringLiteral("flotte")));
    mettreAJourSchema(*base->connexion);
    base->entrepot = std::make_unique<Entrepot>(*base->connexion, QStringLiteral("movendi/v1"));
    // Before Qt SQL's own globals go, which came after the fixture's.
    std::atexit([] {
        base->entrepot.reset();
        base->connexion.reset();
        base->serveur.stop();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const char *const sujets[] = {"K1/evenements", "K1/etat",  "K1/reponses",
                                         "K1/presence",   "K1/autre", "K1/commandes"};
    const QString sujet = QStringLiteral("movendi/v1/") + QLatin1String(sujets[data[0] % 6]);
    const QByteArray charge(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);
    try {
        base->connexion->enTransaction(
            [&] { base->entrepot->recevoir(sujet, charge, QDateTime::currentDateTimeUtc()); });
    } catch (const ErreurBase &erreur) {
        std::fprintf(stderr, "refusé par la base: %s\n", erreur.what());
        std::abort();
    }
    return 0;
}
