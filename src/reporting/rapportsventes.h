#pragma once

#include "config/clesconfiguration.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace Movendi::Store {
class StoreDatabase;
struct ResultatRequete;
} // namespace Movendi::Store

namespace Movendi::Reporting {

// Module RapportVenteExportCSV: the accountants' periodic files, made by the nightly run after
// the remittance and the backup, and mailed to the accounting recipients.

// The report period ("dd/MM/yyyy" each), set by the two day tests and read by ExportCsv.
struct EtatRapport
{
    QString DateDebutRapport;
    QString DateFinRapport;
};
EtatRapport &etatRapport();

// True on the fifth working day back from the end of the month (the last day itself not
// counted); the period is then the 1st of the month to yesterday.
bool JourRapportFinDeMois();
// True on the 1st of a month; the period is then the whole previous month.
bool JourRapportDebutDeMois();
// Writes, registers and mails the sales and top-up CSV files of the period.
void ExportCsv();
// Exports, registers and mails the day's remittance workbook.
void RapportBordereauxRemiseBancaire();
// One report mail to one recipient with the mail control's attachments.
void EnvoyerEmailRapportCSV(const QString &destinataire);

// The accounting recipients ("Mailto Rapport Telvio1" to "4") when the configuration names none.
using Config::DestinatairesRapportParDefaut;

// The accounting recipients "Mailto Rapport Telvio" premier to dernier, in order, the ones set
// empty left out.
QStringList destinatairesRapport(int premier, int dernier);
// One report mail with the files to each recipient; the mail control's list is left empty.
// Throws ErreurExecution when there is no mail control.
void envoyerRapport(const QStringList &fichiers, const QStringList &destinataires);
// A written report file recorded in TransfertExportCSV.
void enregistrerFichierRapport(Store::StoreDatabase &base, const QString &chemin);

struct PeriodeRapport
{
    QString debut;
    QString fin;
    bool operator==(const PeriodeRapport &) const = default;
};
// The month-end report day of a month, and the period that day gives.
QDate jourFinDeMois(int annee, int mois);
std::optional<PeriodeRapport> periodeFinDeMois(const QDate &aujourdhui);
std::optional<PeriodeRapport> periodeDebutDeMois(const QDate &aujourdhui);

// prefixe + identity + day + "-" + month (no leading zeros) + extension: "VentesQRV4-6.CSV".
QString nomFichierRapport(const QString &prefixe, const QString &identite, const QDate &jour,
                          const QString &extension);
// The report folder (application folder + "/RapportVentes"), created when missing.
QString dossierRapports();

// Rows as the accountants' CSV: the column names, then the rows, ";" between values, CR LF after
// every line, a null as nothing. A value holding ";", a quote, CR or LF is quoted (its quotes
// doubled) so that it stays in its column; any other value is written as it is.
QByteArray texteCsv(const Store::ResultatRequete &lignes);

// The two CSV files of a period ("dd/MM/yyyy" each), written into the report folder, each
// registered in TransfertExportCSV once written. Returns their paths; throws ErreurExecution at
// the first failure, leaving what was already written and registered.
QStringList ecrireExportsCsv(const QString &debut, const QString &fin, const QDate &jour);

} // namespace Movendi::Reporting
