#pragma once

#include <QDate>
#include <QString>

namespace Movendi::Reporting {

// Module RemisesBancaire: the remittances not yet transmitted (TransmitOK = 0), every one of them
// at each export, into the workbook "Telecollecte" + identity + day + "-" + month + ".xls" of the
// report folder, sheet "Résultats": LaDate, NbTransaction, Montant, NoRemise, Ticket,
// RefAutomate. Returns the workbook's path. A workbook that could not be written is reported in
// a message naming the failed step and throws ErreurExecution, which the caller journals, so that
// no caller records or mails a file that is not there.
QString ExportRemisesBancaire();

// The workbook's path for a day.
QString cheminRemisesBancaire(const QDate &jour);

} // namespace Movendi::Reporting
