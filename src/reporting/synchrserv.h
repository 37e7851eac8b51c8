#pragma once

#include "config/clesconfiguration.h"

#include <QString>
#include <QStringList>

namespace Movendi::Reporting {

// Module SynchrServ: the sale details sent to the operator's server after each paid sale.

inline constexpr const char *DossierSynchro = "SyncrhoServ";
inline constexpr const char *DossierDistant = "/Telvio/Sync";
inline constexpr int PortFtpParDefaut = Config::PortFtpParDefaut;
// The number FTP failures are journalled under (libcurl's reason in the text).
inline constexpr int ErreurFtp = 35750;
// Runs in which the server refused a file before it is set aside.
inline constexpr int EchecsAvantMiseDeCote = 3;

struct ReglagesFtp
{
    QString serveur;     // empty: no upload
    QString utilisateur; // empty: anonymous
    QString motDePasse;  // none unless configured
    int port = PortFtpParDefaut;
    bool ftps = false; // explicit TLS, the server's certificate checked
    QString ca;        // the authority's certificate; empty: the system's
};

// Section "FTP" of the configuration: "Serveur", "Utilisateur", "MotDePasse", "Port", "FTPS",
// "CA".
ReglagesFtp LireReglagesFtp(const QString &cheminIni);

// The 23 columns of the sheet "Detail", in their order.
QStringList colonnesDetail();

// Exports the sale details not yet sent to a workbook "Sync" + identity + DDMMYYYYhhmmss +
// ".xls" in the folder SyncrhoServ, records it in FichierTransfer and marks the rows it holds,
// all in one transaction once the workbook is written whole; then uploads every recorded file
// still at Transfert 0 to /Telvio/Sync and sets Transfert = 1 for each one the server took
// whole. Without new details nothing is exported or uploaded. Failures are journalled under
// "TransferFTP" and end the run; what was not uploaded goes with the next run. A file the
// server itself refused in EchecsAvantMiseDeCote runs is set aside (MisDeCote 1, kept on disk)
// and the files after it go on; a recorded file missing from disk is journalled and marked
// (MisDeCote 2).
void TransferFTP();

} // namespace Movendi::Reporting
