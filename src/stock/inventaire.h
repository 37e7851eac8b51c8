#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>

namespace Movendi::Stock {

// The drum position that presents a column at the rear loading opening: the column + 12, less
// 36 above 36 (columns 1-24 give 13-36, columns 25-36 give 1-12). Throws ErreurExecution
// (overflow) when the result does not fit 16 bits.
std::int16_t PosCol(std::int16_t colonne);

// One occupied location as the contents listing shows it.
struct LigneContenu
{
    qint64 reference = 0;
    qint64 colonne = 0;
    qint64 etage = 0;
    QVariant image; // the designation: the picture's base name, null without catalogue row
    QVariant imei;
};

// The general date format of the French settings: the date, then the time unless it is midnight.
QString dateGenerale(const QDateTime &moment);

// The screen list: its three heading lines and the rule, then one line per location.
QStringList enteteEcranContenu(const QDateTime &moment, const QString &identiteMachine);
QString regleEcranContenu();
QString ligneEcranContenu(const LigneContenu &ligne);

// The printed inventory, in the pieces sent one after the other: the heading, the rule, one
// piece per location (LF alone at its end), the feed and the cut.
QByteArray enteteImprimeContenu(const QDateTime &moment, const QString &identiteMachine);
QByteArray regleImprimeeContenu();
QByteArray ligneImprimeeContenu(const LigneContenu &ligne);
QByteArray finImprimeeContenu();

} // namespace Movendi::Stock
