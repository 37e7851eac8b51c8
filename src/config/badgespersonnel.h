#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Movendi::Config {

// One staff badge as the configuration holds it: who carries it, and its code hashed with a
// salt of its own (SHA-256 of salt, ':' and code), so the file never gives the codes away.
struct BadgePersonnel
{
    QString nom;
    QByteArray sel;
    QByteArray empreinte; // 32 bytes
};

struct ListeBadges
{
    QList<BadgePersonnel> badges;
    QStringList erreurs; // one per entry left out, saying why
};

// Reads Machine/BadgePersonnel: entries "name:salt:sha256-hex" separated by ';'. An entry that
// is not one is left out and named in the errors; blank entries are skipped.
ListeBadges lireBadges(const QString &valeur);

// The entry for a badge, with a fresh random salt when none is given.
QString entreeBadge(const QString &nom, const QString &code, const QByteArray &sel = {});

// The name of the badge whose code this is. Every badge is compared in full, in time that
// does not depend on where a code differs.
std::optional<QString> badgeReconnu(const QList<BadgePersonnel> &badges, const QString &code);

} // namespace Movendi::Config
