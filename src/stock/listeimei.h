#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace Movendi::Stock {

// The delivery list ListeIMEI.xls: sheet Feuil1, column names in the first row, one article per
// later row. Read whole when the refill screen opens its tables, read-only; the file is not held.
class ListeIMEI
{
public:
    // A larger file is refused before it is read.
    static constexpr qint64 TailleMax = 16 * 1024 * 1024;
    // Errors of a file that is not a workbook, or a reader that failed on it.
    static constexpr int ErreurFormatExterne = 3274;

    // Reads the sheet in a process of its own (the installed reader, see lectureisolee.h);
    // throws ErreurExecution when the file is missing or unreadable or has no sheet Feuil1.
    static ListeIMEI lire(const QString &chemin);
    // The same in this process, through FreeXL: for the reader program only, as a malformed
    // workbook can corrupt FreeXL's memory.
    static ListeIMEI lireSurPlace(const QString &chemin);

    // The list as the reader hands it over, and back; depuisJson throws ErreurExecution for
    // anything else.
    QByteArray versJson() const;
    static ListeIMEI depuisJson(const QByteArray &json);

    const QStringList &colonnes() const { return m_colonnes; }
    qsizetype nombreLignes() const { return m_lignes.size(); }

    // The first row whose cell in the column equals the code (letter case aside, as the list's
    // text search does), or -1. A column the list lacks fails with ErreurExecution.
    qsizetype chercher(const QString &colonne, const QString &code) const;
    // A cell's text, null for an empty cell or an absent column.
    QVariant valeur(qsizetype ligne, const QString &colonne) const;

    // Built from rows already read, for tests and the staff tool.
    ListeIMEI(QStringList colonnes, QList<QVariantList> lignes);

private:
    qsizetype indexColonne(const QString &colonne) const;

    QStringList m_colonnes;
    QList<QVariantList> m_lignes;
};

// A number cell as text: a whole number as its digits alone (IMEIs and EAN-13 codes typed as
// numbers), anything else in the shortest plain decimal form, never with an exponent.
QString texteNombreCellule(double valeur);

} // namespace Movendi::Stock
