#pragma once

#include <QByteArray>
#include <QString>

namespace Movendi::Reporting {

// Writes an OLE2 compound file holding one stream under the root, as Excel 97 workbooks are.
// The file is written beside chemin and renamed into place once complete, so that a failure
// leaves whatever was there before; false with the reason in *erreur (when not null).
bool ecrireFichierComposite(const QString &chemin, const QString &nomFlux, const QByteArray &flux,
                            QString *erreur = nullptr);

} // namespace Movendi::Reporting
