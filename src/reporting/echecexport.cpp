#include "reporting/echecexport.h"

#include "platform/messagebox.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"

namespace Movendi::Reporting {

Journal::ErreurExecution signalerEchecExport(const QString &etape, const QString &contexte,
                                             const QString &chemin, const QString &erreur)
{
    if (!State::boitesInterdites())
        Platform::messageBox().show(
            contexte, etape + QStringLiteral(" failed\r\nClasseurExcel\r\n") + erreur);
    return Journal::Erreurs::accesFichier(chemin, etape + QStringLiteral(" failed: ") + erreur);
}

} // namespace Movendi::Reporting
