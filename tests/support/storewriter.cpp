// Records sales into a store as fast as it can and prints each sale number once it is committed;
// the durability test kills it in the middle of this.
#include "journal/erreur.h"
#include "money/monnaie.h"
#include "store/storedatabase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

using namespace Movendi::Journal;
using namespace Movendi::Money;
using namespace Movendi::Store;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 64;
    try {
        StoreDatabase base(QString::fromLocal8Bit(argv[1]));
        for (int i = 0;; ++i) {
            base.debuterTransaction();
            const qint64 vente =
                base.inserer(QStringLiteral("INSERT INTO Ventes (LaDate, NoCBClient, IdentMachine, "
                                            "Ticket) VALUES (?, ?, ?, ?)"),
                             {StoreDatabase::versBase(QDateTime::currentDateTime()),
                              QStringLiteral("497010XXXXXX1234"), QStringLiteral("K-TEST"),
                              QString(400, QLatin1Char('t'))});
            base.executer(
                QStringLiteral(
                    "INSERT INTO DetailVente (NoVente, Montant, RefProduit, Quantite, NoFamille) "
                    "VALUES (?, ?, ?, 1, 1)"),
                {vente, StoreDatabase::versBase(Monnaie::depuisCentimes(19990 + i)),
                 QStringLiteral("101")});
            base.valider();
            std::printf("%lld\n", static_cast<long long>(vente));
            std::fflush(stdout);
        }
    } catch (const ErreurExecution &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
