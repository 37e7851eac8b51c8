#include "stock/inventaire.h"

#include "journal/erreur.h"
#include "platform/windows1252.h"

#include <limits>

namespace Movendi::Stock {

namespace {

constexpr int LargeurDesignation = 11;
const QByteArray FinLigneEntete = QByteArrayLiteral("\r\n\n");

// Format "0000" and "00": at least n digits with leading zeros, the sign before them.
QString chiffres(qint64 valeur, int n)
{
    const QString absolu =
        QString::number(valeur < 0 ? -valeur : valeur).rightJustified(n, QLatin1Char('0'));
    return valeur < 0 ? QLatin1Char('-') + absolu : absolu;
}

QString designation(const LigneContenu &l)
{
    // A longer name is printed whole.
    return l.image.toString().leftJustified(LargeurDesignation, QLatin1Char(' '));
}

QByteArray octets(const QString &texte)
{
    return Platform::toWindows1252(texte);
}

} // namespace

std::int16_t PosCol(std::int16_t colonne)
{
    int p = int(colonne) + 12;
    if (p > 36)
        p -= 36;
    if (p > std::numeric_limits<std::int16_t>::max())
        throw Journal::Erreurs::depassement();
    return std::int16_t(p);
}

QString dateGenerale(const QDateTime &moment)
{
    if (moment.time() == QTime(0, 0))
        return moment.toString(QStringLiteral("dd/MM/yyyy"));
    return moment.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QStringList enteteEcranContenu(const QDateTime &moment, const QString &identiteMachine)
{
    return {dateGenerale(moment), QStringLiteral("Automate: ") + identiteMachine,
            QStringLiteral("REF.\tCOL\tETAGE\tDESIGNATION\tIMEI")};
}

QString regleEcranContenu()
{
    return QString(110, QLatin1Char('-'));
}

QString ligneEcranContenu(const LigneContenu &l)
{
    return chiffres(l.reference, 4) + QLatin1Char('\t') + chiffres(l.colonne, 2) +
           QLatin1Char('\t') + chiffres(l.etage, 2) + QLatin1Char('\t') + designation(l) +
           QLatin1Char('\t') + l.imei.toString();
}

QByteArray enteteImprimeContenu(const QDateTime &moment, const QString &identiteMachine)
{
    return octets(dateGenerale(moment)) + FinLigneEntete +
           octets(QStringLiteral("Automate: ") + identiteMachine) + FinLigneEntete +
           QByteArrayLiteral("... | COL | ETAG | DESIGNATION | IMEI") + FinLigneEntete;
}

QByteArray regleImprimeeContenu()
{
    return QByteArray(48, '-') + '\n';
}

QByteArray ligneImprimeeContenu(const LigneContenu &l)
{
    return octets(chiffres(l.reference, 4) + QStringLiteral(" | ") + chiffres(l.colonne, 2) +
                  QStringLiteral("  | ") + chiffres(l.etage, 2) + QStringLiteral("   | ") +
                  designation(l) + QStringLiteral(" | ") + l.imei.toString()) +
           '\n';
}

QByteArray finImprimeeContenu()
{
    return FinLigneEntete.repeated(5) + QByteArrayLiteral("\x1bi\r\n");
}

} // namespace Movendi::Stock
