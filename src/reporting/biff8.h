#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace Movendi::Reporting::Biff8 {

// Record types of the Excel 97 workbook stream that the workbook writer uses.
enum Type : quint16 {
    Bof = 0x0809,
    Eof = 0x000A,
    Codepage = 0x0042,
    DateMode = 0x0022,
    Window1 = 0x003D,
    Font = 0x0031,
    Format = 0x041E,
    Xf = 0x00E0,
    Style = 0x0293,
    BoundSheet = 0x0085,
    Sst = 0x00FC,
    Continue = 0x003C,
    ExtSst = 0x00FF,
    Dimensions = 0x0200,
    Window2 = 0x023E,
    LabelSst = 0x00FD,
    Number = 0x0203,
};

// Most data bytes a record may carry; longer data goes on in CONTINUE records.
constexpr int TailleMaxDonnees = 8224;
// Most characters in a cell text.
constexpr int CaracteresMaxCellule = 32767;

QByteArray enregistrement(quint16 type, const QByteArray &donnees);

void ajouterU8(QByteArray &b, quint8 v);
void ajouterU16(QByteArray &b, quint16 v);
void ajouterU32(QByteArray &b, quint32 v);
void ajouterDouble(QByteArray &b, double v);
void ecrireU32(QByteArray &b, qsizetype position, quint32 v);

// True when every character fits in one byte, so the text can be stored 8-bit.
bool compressible(const QString &texte);
// The characters of a text as stored: 8-bit when compressible, otherwise UTF-16LE.
QByteArray caracteres(const QString &texte);
// Unicode strings with an 8-bit or a 16-bit character count, then the option flags.
QByteArray chaineCourte(const QString &texte);
QByteArray chaineLongue(const QString &texte);

// At most n UTF-16 units of a text, never half of a surrogate pair.
QString tronquer(const QString &texte, qsizetype n);

// The SST record with its CONTINUE records and the EXTSST index, for a table placed at
// positionFlux in the workbook stream; total counts the cells that refer to the table.
QByteArray tableChaines(const QStringList &chaines, quint32 total, qint64 positionFlux);

// Excel serial date in the 1900 system: days since 1899-12-30 plus the fraction of the day.
// Nothing for times before 1900-03-01, which Excel's 1900 leap-day would shift.
std::optional<double> serieExcel(const QDateTime &moment);

} // namespace Movendi::Reporting::Biff8
