#pragma once

#include "commandes.h"

#include <QString>
#include <QStringList>

class QTextStream;

namespace Movendi::Admin {

// movendi-admin export DIR --du JJ/MM/AAAA --au JJ/MM/AAAA [--envoyer]: the sales and top-up CSV
// files of a period and the remittance workbook of today, written into the report folder now for
// an accountant who needs them again; with --envoyer also mailed as the nightly run mails them.
// Prints each file written. Returns 0 when everything asked went through, 1 otherwise, 64 for
// bad arguments.
int exporterRapports(const QString &dossier, const QStringList &options, QTextStream &out,
                     QTextStream &err);

// movendi-admin export DIR --du JJ/MM/AAAA --au JJ/MM/AAAA [--envoyer]
extern const Commande CommandeExport;

} // namespace Movendi::Admin
