#pragma once

#include "stock/listeimei.h"

#include <QString>

namespace Movendi::Stock {

// What a reading in a process of its own may cost before it is stopped.
struct BornesLecture
{
    qint64 delaiMs = 10'000;
    // A list of 16 MiB gives far less than this as text.
    qint64 sortieMaxOctets = 128 * 1024 * 1024;
};

// The delivery-list reader installed with the kiosk: beside the running program (a build
// folder), else in ../lib/movendi.
QString programmeLecteurListe();

// Reads the delivery list by running `programme` on it, so that a malformed workbook that
// corrupts FreeXL's memory takes down the reader and not the kiosk. Throws ErreurExecution with
// the reader's own error, or when the reader cannot start, dies, outlives the delay or says more
// than the bound. The wait handles events in short slices, on the installed clock.
ListeIMEI lireListeIsolee(const QString &chemin, const QString &programme,
                          const BornesLecture &bornes = {});

} // namespace Movendi::Stock
