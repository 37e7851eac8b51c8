#include "reporting/biff8.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace Movendi::Reporting::Biff8 {

QByteArray enregistrement(quint16 type, const QByteArray &donnees)
{
    Q_ASSERT(donnees.size() <= TailleMaxDonnees);
    QByteArray b;
    b.reserve(4 + donnees.size());
    ajouterU16(b, type);
    ajouterU16(b, quint16(donnees.size()));
    b += donnees;
    return b;
}

void ajouterU8(QByteArray &b, quint8 v)
{
    b.append(char(v));
}

void ajouterU16(QByteArray &b, quint16 v)
{
    char o[2];
    qToLittleEndian(v, o);
    b.append(o, 2);
}

void ajouterU32(QByteArray &b, quint32 v)
{
    char o[4];
    qToLittleEndian(v, o);
    b.append(o, 4);
}

void ajouterDouble(QByteArray &b, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    char o[8];
    qToLittleEndian(bits, o);
    b.append(o, 8);
}

void ecrireU32(QByteArray &b, qsizetype position, quint32 v)
{
    qToLittleEndian(v, b.data() + position);
}

bool compressible(const QString &texte)
{
    return std::all_of(texte.cbegin(), texte.cend(), [](QChar c) { return c.unicode() < 0x100; });
}

QByteArray caracteres(const QString &texte)
{
    QByteArray b;
    if (compressible(texte)) {
        b.reserve(texte.size());
        for (QChar c : texte)
            b.append(char(c.unicode()));
    } else {
        b.reserve(2 * texte.size());
        for (QChar c : texte)
            ajouterU16(b, c.unicode());
    }
    return b;
}

QByteArray chaineCourte(const QString &texte)
{
    const QString t = tronquer(texte, 255);
    QByteArray b;
    ajouterU8(b, quint8(t.size()));
    ajouterU8(b, compressible(t) ? 0 : 1);
    return b + caracteres(t);
}

QByteArray chaineLongue(const QString &texte)
{
    const QString t = tronquer(texte, 0xFFFF);
    QByteArray b;
    ajouterU16(b, quint16(t.size()));
    ajouterU8(b, compressible(t) ? 0 : 1);
    return b + caracteres(t);
}

QString tronquer(const QString &texte, qsizetype n)
{
    if (texte.size() <= n)
        return texte;
    if (n > 0 && texte.at(n - 1).isHighSurrogate())
        --n;
    return texte.left(n);
}

namespace {

// Lays strings out over an SST record and as many CONTINUE records as they need.
class MiseEnPageSst
{
public:
    MiseEnPageSst(quint32 total, quint32 uniques)
    {
        ajouterU32(m_courant, total);
        ajouterU32(m_courant, uniques);
    }

    // Where the next string will begin: the record and the offset in its data.
    struct Position
    {
        qsizetype enregistrement;
        qsizetype decalage;
    };

    Position ajouter(const QString &texte)
    {
        const bool large = !compressible(texte);
        const int unite = large ? 2 : 1;
        // The count and flags never split, and a string starts with at least one whole
        // character (a whole surrogate pair when wide).
        const int minimum = 3 + (texte.isEmpty() ? 0 : 2 * unite);
        if (m_courant.size() + minimum > TailleMaxDonnees)
            suivant();
        const Position debut{m_donnees.size(), m_courant.size()};

        const quint8 options = large ? 1 : 0;
        ajouterU16(m_courant, quint16(texte.size()));
        ajouterU8(m_courant, options);
        const QByteArray octets = caracteres(texte);
        qsizetype fait = 0;
        while (fait < texte.size()) {
            qsizetype n = std::min<qsizetype>((TailleMaxDonnees - m_courant.size()) / unite,
                                              texte.size() - fait);
            // Readers decode each record's part on its own: keep surrogate pairs together.
            if (fait + n < texte.size() && n > 0 && texte.at(fait + n - 1).isHighSurrogate())
                --n;
            m_courant += octets.mid(fait * unite, n * unite);
            fait += n;
            if (fait < texte.size()) {
                suivant();
                ajouterU8(m_courant, options); // a string going on repeats its flags
            }
        }
        return debut;
    }

    QList<QByteArray> terminer()
    {
        suivant();
        return m_donnees;
    }

private:
    void suivant()
    {
        m_donnees.append(m_courant);
        m_courant.clear();
    }

    QList<QByteArray> m_donnees;
    QByteArray m_courant;
};

} // namespace

QByteArray tableChaines(const QStringList &chaines, quint32 total, qint64 positionFlux)
{
    const qsizetype uniques = chaines.size();
    // Strings per EXTSST bucket: at least 8, and at most 128 buckets.
    const qsizetype parCase = std::max<qsizetype>(8, (uniques + 127) / 128);

    MiseEnPageSst miseEnPage(total, quint32(uniques));
    QList<MiseEnPageSst::Position> cases;
    for (qsizetype i = 0; i < uniques; ++i) {
        const auto debut = miseEnPage.ajouter(chaines.at(i));
        if (i % parCase == 0)
            cases.append(debut);
    }
    const QList<QByteArray> donnees = miseEnPage.terminer();

    QByteArray flux;
    QList<qint64> debuts; // stream position of each record
    for (qsizetype i = 0; i < donnees.size(); ++i) {
        debuts.append(positionFlux + flux.size());
        flux += enregistrement(i == 0 ? Sst : Continue, donnees.at(i));
    }

    QByteArray index;
    ajouterU16(index, quint16(parCase));
    for (const auto &c : cases) {
        ajouterU32(index, quint32(debuts.at(c.enregistrement) + 4 + c.decalage));
        ajouterU16(index, quint16(4 + c.decalage));
        ajouterU16(index, 0);
    }
    return flux + enregistrement(ExtSst, index);
}

std::optional<double> serieExcel(const QDateTime &moment)
{
    if (!moment.isValid())
        return std::nullopt;
    const QDateTime local = moment.toLocalTime();
    const QDate jour = local.date();
    if (jour < QDate(1900, 3, 1) || jour > QDate(9999, 12, 31))
        return std::nullopt;
    const qint64 jours = QDate(1899, 12, 30).daysTo(jour);
    return double(jours) + double(local.time().msecsSinceStartOfDay()) / 86400000.0;
}

} // namespace Movendi::Reporting::Biff8
