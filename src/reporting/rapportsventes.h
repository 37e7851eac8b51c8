#pragma once

namespace Movendi::Reporting {

// The accounting exports the nightly run makes after the remittance and the backup.
// The exports and their mails are not wired into this build yet: the day tests answer false
// and the exports return at once, so the nightly run goes on to its end.

// True on the day the end-of-month report is due.
bool JourRapportFinDeMois();
// True on the day the start-of-month report is due.
bool JourRapportDebutDeMois();
// The sales and top-up CSV files of the period, and their mail.
void ExportCsv();
// The bank remittance workbook and its mail.
void RapportBordereauxRemiseBancaire();

} // namespace Movendi::Reporting
