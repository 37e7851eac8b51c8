#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace Movendi::Reporting {

// Writes an OLE2 compound file holding one stream under the root, as Excel 97 workbooks are.
// The file is written beside chemin and renamed into place once complete, so that a failure
// leaves whatever was there before; false with the reason in *erreur (when not null). The
// stream is given as its consecutive parts, none copied into one.
bool ecrireFichierComposite(const QString &chemin, const QString &nomFlux,
                            const QList<QByteArrayView> &flux, QString *erreur = nullptr);

} // namespace Movendi::Reporting
