#include "reporting/classeurexcel.h"

#include "reporting/biff8.h"
#include "reporting/fichiercomposite.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace Movendi::Reporting {

using namespace Biff8;

namespace {

// Cell XFs after the 15 style XFs every workbook carries.
enum XfCellule : quint16 { XfGeneral = 15, XfDateHeure = 16, XfMonetaire = 17 };
// Custom number formats start after Excel's built-in ones.
enum FormatNombre : quint16 { FormatDateHeure = 164, FormatMonetaire = 165 };

// Streams this size or more go in the compound file's regular sectors.
constexpr qsizetype TailleMinFlux = 4096;

const QString TexteDateHeure = QStringLiteral("dd/MM/yyyy hh:mm:ss");

QByteArray bof(quint16 sousFlux)
{
    QByteArray d;
    ajouterU16(d, 0x0600); // BIFF8
    ajouterU16(d, sousFlux);
    ajouterU16(d, 0x0DBB); // build and year of Excel 97
    ajouterU16(d, 0x07CC);
    ajouterU32(d, 0);
    ajouterU32(d, 0x0006); // lowest version that reads the file
    return enregistrement(Bof, d);
}

QByteArray mot(quint16 type, quint16 valeur)
{
    QByteArray d;
    ajouterU16(d, valeur);
    return enregistrement(type, d);
}

QByteArray window1()
{
    QByteArray d;
    for (quint16 v : {0x01E0, 0x005A, 0x3FCF, 0x2A4E, 0x0038, 0, 0, 1, 0x0258})
        ajouterU16(d, quint16(v));
    return enregistrement(Window1, d);
}

QByteArray police()
{
    QByteArray d;
    ajouterU16(d, 200);    // 10 points, in twips
    ajouterU16(d, 0);      // no italic, no strike-out
    ajouterU16(d, 0x7FFF); // window text colour
    ajouterU16(d, 400);    // normal weight
    ajouterU16(d, 0);      // no super/subscript
    ajouterU8(d, 0);       // no underline
    ajouterU8(d, 0);       // family
    ajouterU8(d, 0);       // character set
    ajouterU8(d, 0);
    d += chaineCourte(QStringLiteral("Arial"));
    return enregistrement(Font, d);
}

QByteArray formatNombre(quint16 numero, const QString &texte)
{
    QByteArray d;
    ajouterU16(d, numero);
    d += chaineLongue(texte);
    return enregistrement(Format, d);
}

// typeProtection: locked, style flag and parent; attributs: which attributes a cell XF sets
// itself (readers such as LibreOffice take the others from the style).
QByteArray xf(quint16 indicePolice, quint16 format, quint16 typeProtection, quint8 attributs)
{
    QByteArray d;
    ajouterU16(d, indicePolice);
    ajouterU16(d, format);
    ajouterU16(d, typeProtection);
    ajouterU8(d, 0x20); // aligned to the bottom
    ajouterU8(d, 0);
    ajouterU8(d, 0);
    ajouterU8(d, attributs);
    ajouterU32(d, 0); // no borders
    ajouterU32(d, 0);
    ajouterU16(d, 0x20C0); // default pattern colours
    return enregistrement(Xf, d);
}

QByteArray tableXf()
{
    constexpr quint16 Style = 0xFFF5;   // locked, style, no parent
    constexpr quint16 Cellule = 0x0001; // locked, parent style 0
    QByteArray b = xf(0, 0, Style, 0);
    for (quint16 police : {1, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})
        b += xf(police, 0, Style, 0xF4);
    b += xf(0, 0, Cellule, 0);
    b += xf(0, FormatDateHeure, Cellule, 0x04);
    b += xf(0, FormatMonetaire, Cellule, 0x04);
    return b;
}

QByteArray styleNormal()
{
    QByteArray d;
    ajouterU16(d, 0x8000 | 0); // built-in, style XF 0
    ajouterU8(d, 0);           // Normal
    ajouterU8(d, 0xFF);
    return enregistrement(Style, d);
}

} // namespace

// The sheet's cells as BIFF records and the strings they refer to, in order of first use:
// encoded as the rows come, so a workbook costs its file's size rather than its cells'.
class ClasseurExcel::Cellules
{
public:
    void texte(int ligne, int colonne, const QString &valeur)
    {
        // An empty text is left out as an empty cell is: FreeXL refuses a workbook whose
        // string table holds an empty string, and Excel shows both alike.
        if (valeur.isEmpty())
            return;
        const QString t = tronquer(valeur, CaracteresMaxCellule);
        auto it = m_index.constFind(t);
        if (it == m_index.cend()) {
            it = m_index.insert(t, quint32(m_chaines.size()));
            m_chaines.append(t);
        }
        ++m_references;
        entete(LabelSst, sizeof(quint32), ligne, colonne, XfGeneral);
        ajouterU32(m_enregistrements, *it);
    }
    void nombre(int ligne, int colonne, double valeur, quint16 format)
    {
        entete(Number, sizeof(double), ligne, colonne, format);
        ajouterDouble(m_enregistrements, valeur);
    }

    const QStringList &chaines() const { return m_chaines; }
    quint32 references() const { return m_references; }
    const QByteArray &enregistrements() const { return m_enregistrements; }

    QByteArray dimensions() const
    {
        QByteArray d;
        const bool vide = m_premiereLigne > m_derniereLigne;
        ajouterU32(d, vide ? 0 : quint32(m_premiereLigne));
        ajouterU32(d, vide ? 0 : quint32(m_derniereLigne + 1));
        ajouterU16(d, vide ? 0 : quint16(m_premiereColonne));
        ajouterU16(d, vide ? 0 : quint16(m_derniereColonne + 1));
        ajouterU16(d, 0);
        return enregistrement(Dimensions, d);
    }

private:
    // A cell record's header, written in place: one allocation per many cells. valeur: the
    // size of what follows the cell's row, column and format.
    void entete(quint16 type, std::size_t valeur, int ligne, int colonne, quint16 format)
    {
        m_premiereLigne = std::min(m_premiereLigne, ligne);
        m_derniereLigne = std::max(m_derniereLigne, ligne);
        m_premiereColonne = std::min(m_premiereColonne, colonne);
        m_derniereColonne = std::max(m_derniereColonne, colonne);
        ajouterU16(m_enregistrements, type);
        ajouterU16(m_enregistrements, quint16(3 * sizeof(quint16) + valeur));
        ajouterU16(m_enregistrements, quint16(ligne));
        ajouterU16(m_enregistrements, quint16(colonne));
        ajouterU16(m_enregistrements, format);
    }

    QStringList m_chaines;
    QHash<QString, quint32> m_index;
    quint32 m_references = 0;
    QByteArray m_enregistrements;
    int m_premiereLigne = ClasseurExcel::LignesMax;
    int m_derniereLigne = -1;
    int m_premiereColonne = ClasseurExcel::ColonnesMax;
    int m_derniereColonne = -1;
};

namespace {

using Cellules = ClasseurExcel::Cellules;

void ajouterCellule(Cellules &cellules, int ligne, int colonne, const Cellule &valeur)
{
    struct Visiteur
    {
        Cellules &c;
        int l;
        int col;
        void operator()(std::monostate) const {}
        void operator()(const QString &t) const { c.texte(l, col, t); }
        void operator()(double n) const
        {
            // Excel has no NaN nor infinity: their text rather than a wrong number.
            if (std::isfinite(n))
                c.nombre(l, col, n, XfGeneral);
            else
                c.texte(l, col, QString::number(n));
        }
        void operator()(const QDateTime &m) const
        {
            if (const auto serie = serieExcel(m))
                c.nombre(l, col, *serie, XfDateHeure);
            else if (m.isValid()) // before 1900-03-01 or after 9999: kept as text
                c.texte(l, col, m.toLocalTime().toString(TexteDateHeure));
        }
        void operator()(Money::Monnaie m) const
        {
            c.nombre(l, col, double(m.unites()) / double(Money::Monnaie::UnitesParEuro),
                     XfMonetaire);
        }
    };
    std::visit(Visiteur{cellules, ligne, colonne}, valeur);
}

// The sheet's substream around its cells: what comes before them, and its end.
std::pair<QByteArray, QByteArray> cadreFeuille(const Cellules &cellules)
{
    QByteArray d;
    ajouterU16(d, 0x06B6); // grid, headers, zeros, outline symbols, selected, page view
    ajouterU16(d, 0);      // top row
    ajouterU16(d, 0);      // left column
    ajouterU16(d, 0x40);   // grid colour: the default
    ajouterU16(d, 0);
    ajouterU16(d, 0); // zooms: the default
    ajouterU16(d, 0);
    ajouterU32(d, 0);
    return {bof(0x0010) + cellules.dimensions() + enregistrement(Window2, d),
            enregistrement(Eof, {})};
}

} // namespace

QString nomFeuilleValide(const QString &nom)
{
    QString n = nom;
    for (QChar &c : n) {
        if (QStringLiteral(":\\/?*[]").contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    }
    n = tronquer(n, 31);
    if (n.startsWith(QLatin1Char('\'')))
        n[0] = QLatin1Char('_');
    if (n.endsWith(QLatin1Char('\'')))
        n[n.size() - 1] = QLatin1Char('_');
    return n.isEmpty() ? QStringLiteral("Feuil1") : n;
}

ClasseurExcel::ClasseurExcel(const QString &nomFeuille, const QStringList &colonnes)
    : m_nomFeuille(nomFeuilleValide(nomFeuille)), m_cellules(std::make_unique<Cellules>())
{
    QList<Cellule> entete;
    entete.reserve(colonnes.size());
    for (const QString &c : colonnes)
        entete.append(c);
    ajouterLigne(entete);
}

ClasseurExcel::~ClasseurExcel() = default;
ClasseurExcel::ClasseurExcel(ClasseurExcel &&) noexcept = default;
ClasseurExcel &ClasseurExcel::operator=(ClasseurExcel &&) noexcept = default;

void ClasseurExcel::ajouterLigne(const QList<Cellule> &valeurs)
{
    const int ligne = m_lignes++;
    if (valeurs.size() > ColonnesMax && m_ligneTropLarge < 0) {
        m_ligneTropLarge = ligne;
        m_colonnesTrop = int(valeurs.size());
    }
    // What does not fit is counted, not encoded: the workbook is refused whole.
    if (ligne >= LignesMax || valeurs.size() > ColonnesMax)
        return;
    for (qsizetype c = 0; c < valeurs.size(); ++c)
        ajouterCellule(*m_cellules, ligne, int(c), valeurs.at(c));
}

QString ClasseurExcel::depassement() const
{
    if (m_lignes > LignesMax)
        return QStringLiteral("%1 lignes avec les noms de colonnes, un classeur Excel 97 en "
                              "prend %2")
            .arg(m_lignes)
            .arg(LignesMax);
    if (m_ligneTropLarge >= 0)
        return QStringLiteral("%1 colonnes à la ligne %2, un classeur Excel 97 en prend %3")
            .arg(m_colonnesTrop)
            .arg(m_ligneTropLarge + 1)
            .arg(ColonnesMax);
    return {};
}

QByteArrayList ClasseurExcel::morceauxFlux() const
{
    const Cellules &cellules = *m_cellules;

    QByteArray globaux = bof(0x0005) + mot(Codepage, 1200) + window1() + mot(DateMode, 0);
    for (int i = 0; i < 5; ++i) // readers skip font index 4, so five records give 0-3 and 5
        globaux += police();
    globaux += formatNombre(FormatDateHeure, QStringLiteral("dd/mm/yyyy hh:mm:ss"));
    globaux += formatNombre(FormatMonetaire, QStringLiteral("#,##0.00 \"€\""));
    globaux += tableXf() + styleNormal();

    QByteArray feuilleDeclaree;
    ajouterU32(feuilleDeclaree, 0); // the sheet's position, known once the globals are laid out
    ajouterU8(feuilleDeclaree, 0);  // visible
    ajouterU8(feuilleDeclaree, 0);  // worksheet
    feuilleDeclaree += chaineCourte(m_nomFeuille);
    const qsizetype positionFeuille = globaux.size() + 4;
    globaux += enregistrement(BoundSheet, feuilleDeclaree);

    globaux += tableChaines(cellules.chaines(), cellules.references(), globaux.size());
    globaux += enregistrement(Eof, {});
    ecrireU32(globaux, positionFeuille, quint32(globaux.size()));
    auto [avantCellules, fin] = cadreFeuille(cellules);
    QByteArrayList morceaux{globaux, avantCellules, cellules.enregistrements(), fin};
    // Zeros after the last EOF keep a small stream out of the compound file's mini stream,
    // which some readers do not handle; Excel's own workbooks never use it.
    qsizetype taille = 0;
    for (const QByteArray &m : std::as_const(morceaux))
        taille += m.size();
    if (taille < TailleMinFlux)
        morceaux << QByteArray(TailleMinFlux - taille, '\0');
    return morceaux;
}

QByteArray ClasseurExcel::fluxClasseur() const
{
    if (!depassement().isEmpty())
        return {};
    return morceauxFlux().join();
}

bool ClasseurExcel::ecrire(const QString &chemin, QString *erreur) const
{
    if (const QString r = depassement(); !r.isEmpty()) {
        if (erreur)
            *erreur = r;
        return false;
    }
    // The cells go to the file from where they were encoded: never copied into one stream.
    const QByteArrayList morceaux = morceauxFlux();
    return ecrireFichierComposite(chemin, QStringLiteral("Workbook"),
                                  QList<QByteArrayView>(morceaux.begin(), morceaux.end()), erreur);
}

Cellule celluleDepuis(const QVariant &v)
{
    // Integers past 2^53 would lose digits as a double: kept as text.
    constexpr qint64 EntierExactMax = qint64(1) << 53;
    if (!v.isValid() || v.isNull())
        return std::monostate{};
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong: {
        const qint64 n = v.toLongLong();
        if (n >= -EntierExactMax && n <= EntierExactMax)
            return double(n);
        return QString::number(n);
    }
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const quint64 n = v.toULongLong();
        if (n <= quint64(EntierExactMax))
            return double(n);
        return QString::number(n);
    }
    case QMetaType::Float:
    case QMetaType::Double:
        return v.toDouble();
    case QMetaType::QDateTime:
        return v.toDateTime();
    case QMetaType::QDate:
        return QDateTime(v.toDate(), QTime(0, 0));
    default:
        break;
    }
    if (v.metaType() == QMetaType::fromType<Money::Monnaie>())
        return v.value<Money::Monnaie>();
    return v.toString();
}

} // namespace Movendi::Reporting
