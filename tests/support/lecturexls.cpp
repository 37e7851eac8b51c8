#include "lecturexls.h"

#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

namespace Movendi::Test {

namespace {

// Prints every sheet's name and cells as JSON: [type, value, number format, date fields].
const char *const ScriptXlrd = R"(
import json, sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
sheets = []
for s in book.sheets():
    rows = []
    for r in range(s.nrows):
        row = []
        for c in range(s.ncols):
            cell = s.cell(r, c)
            fmt = ''
            if cell.xf_index is not None and cell.xf_index >= 0:
                fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
            fields = list(xlrd.xldate_as_tuple(cell.value, book.datemode)) if cell.ctype == xlrd.XL_CELL_DATE else []
            row.append([cell.ctype, cell.value, fmt, fields])
        rows.append(row)
    sheets.append({'name': s.name, 'rows': rows})
print(json.dumps(sheets))
)";

} // namespace

QJsonArray lireAvecXlrd(const QString &chemin)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(ScriptXlrd), chemin});
    const bool fini = python.waitForFinished(120000);
    const QByteArray sortie = python.readAllStandardOutput();
    EXPECT_TRUE(fini && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0)
        << "xlrd: " << python.readAllStandardError().toStdString();
    QJsonParseError erreur;
    const QJsonDocument doc = QJsonDocument::fromJson(sortie, &erreur);
    EXPECT_EQ(erreur.error, QJsonParseError::NoError) << erreur.errorString().toStdString();
    return doc.array();
}

} // namespace Movendi::Test
