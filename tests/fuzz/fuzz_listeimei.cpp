// libFuzzer target: any bytes as the delivery list ListeIMEI.xls staff bring on a USB stick,
// read through FreeXL in the reader program, as the kiosk does. A file that is not a workbook
// is refused with its reason, also when it makes the reader die; one that is gives rows no wider
// than its columns, and a code found is found where it is.
#include "journal/erreur.h"
#include "stock/listeimei.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

using namespace Movendi;

// The reader is found beside this program, and waited for on the event loop.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString chemin = QDir::temp().filePath(
        QStringLiteral("fuzz_listeimei_%1.xls").arg(QCoreApplication::applicationPid()));
    {
        QFile f(chemin);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    try {
        const Stock::ListeIMEI liste = Stock::ListeIMEI::lire(chemin);
        const QStringList colonnes = liste.colonnes();
        for (qsizetype ligne = 0; ligne < liste.nombreLignes() && ligne < 50; ++ligne) {
            for (const QString &colonne : colonnes) {
                const QVariant v = liste.valeur(ligne, colonne);
                if (v.isNull() || colonne.isEmpty())
                    continue;
                const qsizetype trouvee = liste.chercher(colonne, v.toString());
                if (trouvee < 0 || trouvee > ligne)
                    std::abort();
            }
        }
    } catch (const Journal::ErreurExecution &erreur) {
        if (erreur.description().isEmpty())
            std::abort();
    }
    return 0;
}
