#pragma once

#include "commandes.h"

#include "payment/pontagetpvnew.h"

#include <QString>

class QTextStream;

namespace Movendi::Admin {

// The technician's checks of the payment terminal that the application folder configures:
// "statut" asks its status, "telecollecte" has it remit (waiting attenteTour seconds at most
// for the terminal to take its turn, as the kiosk does by default) and fetches the report.
// Nothing is recorded in the folder: what the requests would journal is printed instead.
// Returns the process exit code: 0 when the terminal answered (for "telecollecte": when both
// the remittance and its report went through), 1 otherwise or when the folder is not usable,
// 64 for an unknown check.
int diagnostiquerTerminal(const QString &dossier, const QString &verification, QTextStream &out,
                          QTextStream &err, int attenteTour = Payment::AttenteTourTelecollecte);

QString significationDemSwi(int resultat);
QString significationDemTC(int resultat);
QString significationDemTIC(int resultat);

// movendi-admin tpe DIR statut | telecollecte [--attente SECONDES]
extern const Commande CommandeTpe;

} // namespace Movendi::Admin
