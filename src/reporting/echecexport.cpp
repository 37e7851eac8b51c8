#include "reporting/echecexport.h"

#include "platform/messagebox.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"

namespace Movendi::Reporting {

Startup::ErreurExecution signalerEchecExport(const QString &etape, const QString &contexte,
                                             const QString &chemin, const QString &erreur)
{
    if (!Startup::boitesInterdites())
        Platform::messageBox().show(
            contexte, etape + QStringLiteral(" failed\r\nClasseurExcel\r\n") + erreur);
    return Startup::Erreurs::accesFichier(chemin, etape + QStringLiteral(" failed: ") + erreur);
}

} // namespace Movendi::Reporting
