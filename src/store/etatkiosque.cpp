#include "store/etatkiosque.h"

#include "platform/clock.h"
#include "platform/seams.h"
#include "store/storedatabase.h"

namespace Movendi::Store {

namespace {

// A store laid out by an earlier version may not have it yet.
void creerTable(StoreDatabase &base)
{
    base.executer(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS EtatKiosque (Cle TEXT PRIMARY KEY, Valeur TEXT)"));
}

} // namespace

std::optional<QString> lireEtatKiosque(StoreDatabase &base, const QString &cle)
{
    if (base.lire(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = "
                                 "'EtatKiosque'"))
            .estVide())
        return std::nullopt;
    const ResultatRequete r =
        base.lire(QStringLiteral("SELECT Valeur FROM EtatKiosque WHERE Cle = ?"), {cle});
    if (r.estVide())
        return std::nullopt;
    return r.valeur(0, QStringLiteral("Valeur")).toString();
}

void ecrireEtatKiosque(StoreDatabase &base, const QString &cle, const QString &valeur)
{
    creerTable(base);
    base.executer(QStringLiteral("INSERT OR REPLACE INTO EtatKiosque (Cle, Valeur) VALUES (?, ?)"),
                  {cle, valeur});
}

void verifierEcriture(StoreDatabase &base)
{
    ecrireEtatKiosque(base, QLatin1String(CleVerificationEcriture),
                      StoreDatabase::versBase(Platform::clock().now()).toString());
}

} // namespace Movendi::Store
