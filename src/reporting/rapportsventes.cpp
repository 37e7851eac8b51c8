#include "rapportsventes.h"

namespace Movendi::Reporting {

// Not wired yet (see the header): no report is due, and an export writes nothing.
bool JourRapportFinDeMois()
{
    return false;
}

bool JourRapportDebutDeMois()
{
    return false;
}

void ExportCsv() {}

void RapportBordereauxRemiseBancaire() {}

} // namespace Movendi::Reporting
