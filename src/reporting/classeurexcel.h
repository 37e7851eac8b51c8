#pragma once

#include "money/monnaie.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <variant>

namespace Movendi::Reporting {

// One cell value: empty (null), text, number, date-time, currency.
using Cellule = std::variant<std::monostate, QString, double, QDateTime, Money::Monnaie>;

// An Excel 97 workbook (.xls) of one sheet, for the reports mailed to the accountants.
class ClasseurExcel
{
public:
    // Excel 97's sheet limits.
    static constexpr int LignesMax = 65536;
    static constexpr int ColonnesMax = 256;

    // One sheet named nomFeuille whose first row holds the column names.
    ClasseurExcel(const QString &nomFeuille, const QStringList &colonnes);
    ~ClasseurExcel();
    ClasseurExcel(ClasseurExcel &&) noexcept;
    ClasseurExcel &operator=(ClasseurExcel &&) noexcept;
    // Shorter rows leave the rest empty. Each row is encoded as it comes.
    void ajouterLigne(const QList<Cellule> &valeurs);
    // The rows added, the column names' included.
    int lignes() const { return m_lignes; }

    // Writes the .xls; false with the reason in *erreur (when not null) on failure.
    bool ecrire(const QString &chemin, QString *erreur = nullptr) const;

    // The sheet name as stored: at most 31 characters, none of those Excel refuses.
    QString nomFeuille() const { return m_nomFeuille; }
    // Why the sheet does not fit an Excel 97 workbook; empty when it does.
    QString depassement() const;
    // The Workbook stream; empty when the sheet does not fit.
    QByteArray fluxClasseur() const;

    class Cellules;

private:
    // The Workbook stream as its consecutive parts, the cells shared, not copied.
    QByteArrayList morceauxFlux() const;

    QString m_nomFeuille;
    std::unique_ptr<Cellules> m_cellules;
    int m_lignes = 0;
    int m_ligneTropLarge = -1; // the first row with more than ColonnesMax cells
    int m_colonnesTrop = 0;
};

// A QVariant as a cell: null/invalid -> empty, QString -> text, integer and double types ->
// number, QDateTime -> date-time, QDate -> date-time at midnight; anything else its text.
Cellule celluleDepuis(const QVariant &v);

// A sheet name Excel accepts: forbidden characters replaced, at most 31 characters.
QString nomFeuilleValide(const QString &nom);

} // namespace Movendi::Reporting
