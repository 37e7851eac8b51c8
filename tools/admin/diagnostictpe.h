#pragma once

#include <QString>

class QTextStream;

namespace Movendi::Admin {

// The technician's checks of the payment terminal that the application folder configures:
// "statut" asks its status, "telecollecte" has it remit and fetches the report. Nothing is
// recorded in the folder: what the requests would journal is printed instead.
// Returns the process exit code: 0 when the terminal answered, 1 when it did not or the folder
// is not usable, 64 for an unknown check.
int diagnostiquerTerminal(const QString &dossier, const QString &verification, QTextStream &out,
                          QTextStream &err);

QString significationDemSwi(int resultat);
QString significationDemTC(int resultat);
QString significationDemTIC(int resultat);

} // namespace Movendi::Admin
