#pragma once

#include <QJsonArray>
#include <QString>

namespace Movendi::Test {

// xlrd's cell types.
enum TypeXlrd { Vide = 0, Texte = 1, Nombre = 2, Date = 3 };

// A workbook as python3-xlrd reads it: one object per sheet with its "name" and its "rows", each
// cell as [type, value, number format, date fields]. Adds a test failure when xlrd cannot read it.
QJsonArray lireAvecXlrd(const QString &chemin);

} // namespace Movendi::Test
