#include "stock/listeimei.h"

#include "journal/erreur.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>
#include <freexl.h>

namespace Movendi::Stock {

namespace {

constexpr int ErreurFormatExterne = ListeIMEI::ErreurFormatExterne;
constexpr int ErreurObjetIntrouvable = 3011;
const QString NomFeuille = QStringLiteral("Feuil1");

class Classeur
{
public:
    explicit Classeur(const QString &chemin)
    {
        // FreeXL loads the whole file: a delivery list of thousands of rows is far below this.
        if (const qint64 taille = QFileInfo(chemin).size(); taille > ListeIMEI::TailleMax)
            throw Journal::ErreurExecution(ErreurFormatExterne,
                                           QStringLiteral("%1 illisible (%2 octets, plus de %3)")
                                               .arg(chemin)
                                               .arg(taille)
                                               .arg(ListeIMEI::TailleMax));
        const int r = freexl_open(QFile::encodeName(chemin).constData(), &m_handle);
        if (r != FREEXL_OK) {
            // FreeXL leaves its half-made workbook in the handle when the open fails.
            if (m_handle)
                freexl_close(m_handle);
            m_handle = nullptr;
            if (!QFileInfo::exists(chemin))
                throw Journal::ErreurExecution(Journal::Erreurs::FichierIntrouvable,
                                               chemin + QStringLiteral(" introuvable"));
            throw Journal::ErreurExecution(
                ErreurFormatExterne,
                chemin + QStringLiteral(" illisible (classeur Excel 97 attendu, code %1)").arg(r));
        }
    }
    ~Classeur()
    {
        if (m_handle)
            freexl_close(m_handle);
    }
    Classeur(const Classeur &) = delete;
    Classeur &operator=(const Classeur &) = delete;
    const void *handle() const { return m_handle; }

private:
    const void *m_handle = nullptr;
};

QVariant valeurCellule(const FreeXL_CellValue &cellule)
{
    switch (cellule.type) {
    case FREEXL_CELL_INT:
        return QString::number(cellule.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return texteNombreCellule(cellule.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return cellule.value.text_value ? QString::fromUtf8(cellule.value.text_value) : QVariant();
    default:
        return QVariant();
    }
}

} // namespace

QString texteNombreCellule(double valeur)
{
    if (std::isfinite(valeur) && valeur == std::trunc(valeur) && std::fabs(valeur) < 1e18)
        return QString::number(qint64(valeur));
    return QLocale::c().toString(valeur, 'f', QLocale::FloatingPointShortest);
}

ListeIMEI::ListeIMEI(QStringList colonnes, QList<QVariantList> lignes)
    : m_colonnes(std::move(colonnes)), m_lignes(std::move(lignes))
{
}

ListeIMEI ListeIMEI::lireSurPlace(const QString &chemin)
{
    Classeur classeur(chemin);
    const void *h = classeur.handle();
    unsigned int feuilles = 0;
    if (freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &feuilles) != FREEXL_OK)
        throw Journal::ErreurExecution(ErreurFormatExterne,
                                       chemin + QStringLiteral(": feuilles illisibles"));
    int trouvee = -1;
    for (unsigned short i = 0; i < feuilles && trouvee < 0; ++i) {
        const char *nom = nullptr;
        if (freexl_get_worksheet_name(h, i, &nom) == FREEXL_OK && nom &&
            QString::fromUtf8(nom).compare(NomFeuille, Qt::CaseInsensitive) == 0)
            trouvee = i;
    }
    if (trouvee < 0 || freexl_select_active_worksheet(h, (unsigned short)trouvee) != FREEXL_OK)
        throw Journal::ErreurExecution(
            ErreurObjetIntrouvable,
            QStringLiteral("feuille %1 absente de %2").arg(NomFeuille + QLatin1Char('$'), chemin));
    unsigned int lignes = 0;
    unsigned short colonnes = 0;
    if (freexl_worksheet_dimensions(h, &lignes, &colonnes) != FREEXL_OK)
        throw Journal::ErreurExecution(ErreurFormatExterne,
                                       chemin + QStringLiteral(": dimensions illisibles"));

    QStringList noms;
    QList<QVariantList> contenu;
    for (unsigned int l = 0; l < lignes; ++l) {
        QVariantList ligne;
        bool vide = true;
        for (unsigned short c = 0; c < colonnes; ++c) {
            FreeXL_CellValue cellule;
            QVariant v;
            if (freexl_get_cell_value(h, l, c, &cellule) == FREEXL_OK)
                v = valeurCellule(cellule);
            vide = vide && v.isNull();
            ligne.append(v);
        }
        if (l == 0) {
            for (const QVariant &v : ligne)
                noms.append(v.toString().trimmed());
        } else if (!vide) {
            contenu.append(ligne);
        }
    }
    return ListeIMEI(noms, contenu);
}

QByteArray ListeIMEI::versJson() const
{
    QJsonArray lignes;
    for (const QVariantList &ligne : m_lignes) {
        QJsonArray cellules;
        for (const QVariant &v : ligne)
            cellules.append(v.isNull() ? QJsonValue() : QJsonValue(v.toString()));
        lignes.append(cellules);
    }
    return QJsonDocument(
               QJsonObject{{QStringLiteral("colonnes"), QJsonArray::fromStringList(m_colonnes)},
                           {QStringLiteral("lignes"), lignes}})
        .toJson(QJsonDocument::Compact);
}

ListeIMEI ListeIMEI::depuisJson(const QByteArray &json)
{
    const auto illisible = [](const QString &raison) {
        return Journal::ErreurExecution(
            ErreurFormatExterne, QStringLiteral("liste de livraison mal transmise: ") + raison);
    };
    QJsonParseError erreur;
    const QJsonDocument document = QJsonDocument::fromJson(json, &erreur);
    if (erreur.error != QJsonParseError::NoError)
        throw illisible(erreur.errorString());
    const QJsonValue colonnes = document.object().value(QStringLiteral("colonnes"));
    const QJsonValue lignes = document.object().value(QStringLiteral("lignes"));
    if (!colonnes.isArray() || !lignes.isArray())
        throw illisible(QStringLiteral("colonnes ou lignes absentes"));
    QStringList noms;
    for (const QJsonValue &nom : colonnes.toArray()) {
        if (!nom.isString())
            throw illisible(QStringLiteral("nom de colonne qui n'est pas un texte"));
        noms.append(nom.toString());
    }
    QList<QVariantList> contenu;
    for (const QJsonValue &ligne : lignes.toArray()) {
        if (!ligne.isArray() || ligne.toArray().size() > noms.size())
            throw illisible(QStringLiteral("ligne plus large que les colonnes"));
        QVariantList cellules;
        for (const QJsonValue &cellule : ligne.toArray()) {
            if (!cellule.isString() && !cellule.isNull())
                throw illisible(QStringLiteral("cellule qui n'est pas un texte"));
            cellules.append(cellule.isString() ? QVariant(cellule.toString()) : QVariant());
        }
        contenu.append(cellules);
    }
    return ListeIMEI(noms, contenu);
}

qsizetype ListeIMEI::indexColonne(const QString &colonne) const
{
    for (qsizetype i = 0; i < m_colonnes.size(); ++i) {
        if (m_colonnes.at(i).compare(colonne, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype ListeIMEI::chercher(const QString &colonne, const QString &code) const
{
    const qsizetype c = indexColonne(colonne);
    if (c < 0)
        throw Journal::ErreurExecution(
            Journal::Erreurs::ErreurInterne,
            QStringLiteral("colonne %1 absente de la liste de livraison").arg(colonne));
    for (qsizetype l = 0; l < m_lignes.size(); ++l) {
        const QVariant &v = m_lignes.at(l).value(c);
        if (!v.isNull() && v.toString().compare(code, Qt::CaseInsensitive) == 0)
            return l;
    }
    return -1;
}

QVariant ListeIMEI::valeur(qsizetype ligne, const QString &colonne) const
{
    const qsizetype c = indexColonne(colonne);
    if (c < 0 || ligne < 0 || ligne >= m_lignes.size())
        return QVariant();
    return m_lignes.at(ligne).value(c);
}

} // namespace Movendi::Stock
