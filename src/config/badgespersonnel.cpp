#include "config/badgespersonnel.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace Movendi::Config {

namespace {

QByteArray empreinteBadge(const QByteArray &sel, const QString &code)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(sel);
    h.addData(QByteArrayView(":"));
    h.addData(code.toUtf8());
    return h.result();
}

bool memesOctets(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return difference == 0;
}

} // namespace

ListeBadges lireBadges(const QString &valeur)
{
    static const QRegularExpression sel(QStringLiteral("^[0-9A-Za-z]{4,64}$"));
    static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{64}$"));
    ListeBadges liste;
    const QStringList entrees = valeur.split(QLatin1Char(';'));
    for (qsizetype i = 0; i < entrees.size(); ++i) {
        const QString entree = entrees.at(i).trimmed();
        if (entree.isEmpty())
            continue;
        const QStringList champs = entree.split(QLatin1Char(':'));
        const auto refuser = [&](const QString &raison) {
            liste.erreurs.append(QStringLiteral("badge %1: %2").arg(i + 1).arg(raison));
        };
        if (champs.size() != 3) {
            refuser(QStringLiteral("nom:sel:empreinte attendu"));
            continue;
        }
        const QString nom = champs.at(0).trimmed();
        if (nom.isEmpty()) {
            refuser(QStringLiteral("nom vide"));
            continue;
        }
        if (!sel.match(champs.at(1)).hasMatch()) {
            refuser(QStringLiteral("sel de 4 à 64 lettres ou chiffres attendu"));
            continue;
        }
        if (!hex.match(champs.at(2)).hasMatch()) {
            refuser(QStringLiteral("empreinte SHA-256 (64 chiffres hexadécimaux) attendue"));
            continue;
        }
        liste.badges.append(
            {nom, champs.at(1).toLatin1(), QByteArray::fromHex(champs.at(2).toLatin1())});
    }
    return liste;
}

QString entreeBadge(const QString &nom, const QString &code, const QByteArray &sel)
{
    QByteArray s = sel;
    if (s.isEmpty()) {
        static constexpr char alphabet[] =
            "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        for (int i = 0; i < 16; ++i)
            s.append(alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet) - 1)]);
    }
    return QStringLiteral("%1:%2:%3")
        .arg(nom, QString::fromLatin1(s), QString::fromLatin1(empreinteBadge(s, code).toHex()));
}

std::optional<QString> badgeReconnu(const QList<BadgePersonnel> &badges, const QString &code)
{
    std::optional<QString> trouve;
    for (const BadgePersonnel &b : badges) {
        if (memesOctets(empreinteBadge(b.sel, code), b.empreinte) && !trouve)
            trouve = b.nom;
    }
    return trouve;
}

} // namespace Movendi::Config
