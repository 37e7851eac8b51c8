// libFuzzer target: our Excel 97 writer, read back by FreeXL (the library the kiosk reads
// delivery lists with, independent of our writer). Any sheet of texts, numbers and empty cells
// drawn from the input reads back cell for cell: the same text, the same number.
#include "reporting/classeurexcel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <freexl.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace Movendi::Reporting;

namespace {

// The input as a sheet: a first byte gives the width (1 to 8 columns), then each cell is a
// kind byte and, for a text, a length byte and that many bytes (UTF-8), for a number 8 bytes.
QList<QList<Cellule>> feuille(const std::uint8_t *data, std::size_t size)
{
    QList<QList<Cellule>> lignes;
    if (size == 0)
        return lignes;
    const int largeur = 1 + data[0] % 8;
    std::size_t i = 1;
    QList<Cellule> ligne;
    while (i < size && lignes.size() < 200) {
        const std::uint8_t genre = data[i++] % 3;
        if (genre == 0) {
            ligne.append(std::monostate{});
        } else if (genre == 1) {
            const std::size_t n = i < size ? data[i++] : 0;
            const std::size_t pris = std::min(n, size - i);
            ligne.append(
                // FreeXL hands texts back as C strings: no NUL inside.
                QString::fromUtf8(reinterpret_cast<const char *>(data + i), qsizetype(pris))
                    .remove(QChar(0)));
            i += pris;
        } else {
            double v = 0;
            if (size - i < sizeof v)
                break;
            std::memcpy(&v, data + i, sizeof v);
            i += sizeof v;
            // A workbook holds finite numbers only.
            ligne.append(std::isfinite(v) ? Cellule(v) : Cellule(std::monostate{}));
        }
        if (ligne.size() == largeur)
            lignes.append(std::exchange(ligne, {}));
    }
    if (!ligne.isEmpty())
        lignes.append(ligne);
    return lignes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QList<Cellule>> lignes = feuille(data, size);
    QStringList colonnes;
    for (int c = 0; c < 8; ++c)
        colonnes << QStringLiteral("C%1").arg(c);
    ClasseurExcel classeur(QStringLiteral("Feuil1"), colonnes);
    for (const QList<Cellule> &l : lignes)
        classeur.ajouterLigne(l);
    static const QString chemin = QDir::temp().filePath(
        QStringLiteral("fuzz_classeur_%1.xls").arg(QCoreApplication::applicationPid()));
    if (!classeur.ecrire(chemin))
        std::abort();

    const void *xls = nullptr;
    if (freexl_open(QFile::encodeName(chemin).constData(), &xls) != FREEXL_OK)
        std::abort();
    if (freexl_select_active_worksheet(xls, 0) != FREEXL_OK)
        std::abort();
    for (int r = 0; r < lignes.size(); ++r) {
        for (int c = 0; c < lignes.at(r).size(); ++c) {
            const Cellule &ecrit = lignes.at(r).at(c);
            const QString *t = std::get_if<QString>(&ecrit);
            // Empty cells are not stored: a sheet ends at its last row holding something.
            if (std::holds_alternative<std::monostate>(ecrit) || (t && t->isEmpty()))
                continue;
            FreeXL_CellValue lu;
            if (freexl_get_cell_value(xls, unsigned(r + 1), static_cast<unsigned short>(c), &lu) !=
                FREEXL_OK)
                std::abort();
            if (t) {
                const bool texte = lu.type == FREEXL_CELL_SST_TEXT || lu.type == FREEXL_CELL_TEXT;
                if (!texte || QString::fromUtf8(lu.value.text_value) != *t)
                    std::abort();
            } else if (const double *d = std::get_if<double>(&ecrit)) {
                const double v = lu.type == FREEXL_CELL_DOUBLE ? lu.value.double_value
                                 : lu.type == FREEXL_CELL_INT  ? double(lu.value.int_value)
                                                               : std::nan("");
                if (!(v == *d))
                    std::abort();
            }
        }
    }
    freexl_close(xls);
    return 0;
}
