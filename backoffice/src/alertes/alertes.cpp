#include "alertes/alertes.h"

#include "entrepot/connexionpg.h"

#include <QSqlQuery>

#include <map>
#include <utility>

namespace Movendi::Backoffice {

namespace {

using Cle = std::pair<QString, QString>; // kiosque, sujet

QString iso(const QDateTime &d)
{
    return d.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

QString MailAlerte::objet() const
{
    switch (nature) {
    case Ouverture:
        return QStringLiteral("Alerte %1: %2").arg(kiosque, sujet);
    case Rappel:
        return QStringLiteral("Rappel alerte %1: %2").arg(kiosque, sujet);
    case Retablie:
        return QStringLiteral("Rétabli %1: %2").arg(kiosque, sujet);
    }
    return {};
}

QString MailAlerte::corps() const
{
    return objet() + (detail.isEmpty() ? QString() : QStringLiteral("\r\n\r\n") + detail);
}

Alertes::Alertes(ConnexionPg &base, ReglesAlertes regles, Envoi envoi)
    : m_base(base), m_regles(regles), m_envoi(std::move(envoi))
{
}

void Alertes::evaluer(const QDateTime &maintenant, const std::optional<QDateTime> &connecteDepuis)
{
    const QString t = iso(maintenant);
    std::map<Cle, QString> vraies;
    const auto lire = [&](const QString &sql, const QVariantList &p) {
        QSqlQuery q = m_base.executer(sql, p);
        while (q.next())
            vraies[{q.value(0).toString(), q.value(1).toString()}] = q.value(2).toString();
    };
    // Silent or said so, judged only on what the service could have heard.
    if (connecteDepuis) {
        lire(QStringLiteral(
                 "SELECT kiosque, 'hors-ligne', CASE WHEN presence = 'hors-ligne' THEN "
                 "'hors-ligne depuis ' || presence_depuis ELSE 'silencieux depuis ' || "
                 "derniere_vue END FROM kiosques WHERE (presence = 'hors-ligne' AND "
                 "GREATEST(presence_depuis, ?::timestamptz) <= ?::timestamptz - make_interval("
                 "mins => ?)) OR GREATEST(COALESCE(derniere_vue, '-infinity'), ?::timestamptz) <= "
                 "?::timestamptz - make_interval(mins => ? + 3)"),
             {iso(*connecteDepuis), t, m_regles.horsLigneMinutes, iso(*connecteDepuis), t,
              m_regles.horsLigneMinutes});
    }
    // Up, and no sale for too long (since it was first heard of, when it never sold).
    lire(QStringLiteral(
             "SELECT k.kiosque, 'aucune-vente', 'dernière vente: ' || COALESCE(MAX(v.horodatage)"
             "::text, 'aucune') FROM kiosques k LEFT JOIN ventes v ON v.kiosque = k.kiosque WHERE "
             "k.presence = 'en-ligne' GROUP BY k.kiosque HAVING COALESCE(MAX(v.horodatage), "
             "MIN(k.presence_depuis)) <= ?::timestamptz - make_interval(hours => ?)"),
         {t, m_regles.aucuneVenteHeures});
    // From the latest state: each reference at or under the threshold, each kind with no room.
    lire(QStringLiteral(
             "SELECT k.kiosque, 'stock-bas:' || (s->>'ref'), (s->>'designation') || ': ' || "
             "(s->>'qte') || ' en machine' FROM kiosques k, jsonb_array_elements(CASE WHEN "
             "jsonb_typeof(k.etat->'stock') = 'array' THEN k.etat->'stock' ELSE '[]' END) s "
             "WHERE (s->>'qte')::bigint <= ?"),
         {m_regles.stockBas});
    lire(QStringLiteral(
             "SELECT kiosque, 'plein:' || genre, 'aucun emplacement libre' FROM (SELECT kiosque, "
             "'telephones' AS genre, (etat->'emplacementsLibres'->>'telephones')::bigint AS "
             "libres FROM kiosques UNION ALL SELECT kiosque, 'recharges', "
             "(etat->'emplacementsLibres'->>'recharges')::bigint FROM kiosques) e WHERE libres "
             "= 0"),
         {});
    // Sales of the last day not debited, or whose debit is to be checked.
    lire(QStringLiteral(
             "SELECT kiosque, CASE statut_debit WHEN 1 THEN 'non-debitee' ELSE 'a-verifier' END, "
             "'ventes ' || string_agg(num_vente::text, ', ' ORDER BY num_vente) FROM ventes WHERE "
             "statut_debit IN (1, 2) AND horodatage > ?::timestamptz - interval '1 day' GROUP BY "
             "kiosque, statut_debit"),
         {t});
    // The latest remittance differs from the debits recorded.
    lire(QStringLiteral(
             "SELECT DISTINCT ON (kiosque) kiosque, CASE WHEN ecart THEN 'ecart-remise' END, "
             "'remise ' || no_remise || ': terminal ' || COALESCE(nb_transactions::text, '?') || "
             "' / kiosque ' || local_nb_debits FROM remises ORDER BY kiosque, horodatage DESC"),
         {});
    // A remittance without difference names no subject.
    for (auto it = vraies.begin(); it != vraies.end();)
        it = it->first.second.isEmpty() ? vraies.erase(it) : std::next(it);
    // Door, store and journal alarms of the last reminder period.
    lire(QStringLiteral(
             "SELECT kiosque, code, COUNT(*) || ' alarme(s), la dernière: ' || (array_agg("
             "message ORDER BY horodatage DESC))[1] FROM alarmes WHERE code IN ('porte', 'base', "
             "'journal') AND horodatage > ?::timestamptz - make_interval(mins => ?) GROUP BY "
             "kiosque, code"),
         {t, m_regles.rappelMinutes});

    std::map<Cle, std::pair<qint64, QDateTime>> ouvertes; // id, last mail
    {
        QSqlQuery q = m_base.executer(QStringLiteral(
            "SELECT kiosque, sujet, id, dernier_mail FROM alertes WHERE fermee IS NULL"));
        while (q.next())
            ouvertes[{q.value(0).toString(), q.value(1).toString()}] = {q.value(2).toLongLong(),
                                                                        q.value(3).toDateTime()};
    }
    const qint64 rappelS = qint64(m_regles.rappelMinutes) * 60;
    for (const auto &[cle, detail] : vraies) {
        const auto o = ouvertes.find(cle);
        if (o == ouvertes.end()) {
            m_base.modifier(QStringLiteral("INSERT INTO alertes (kiosque, sujet, detail, ouverte, "
                                           "dernier_mail) VALUES (?, ?, ?, ?::timestamptz, "
                                           "?::timestamptz)"),
                            {cle.first, cle.second, detail, t, t});
            m_envoi({MailAlerte::Ouverture, cle.first, cle.second, detail});
        } else if (o->second.second.secsTo(maintenant) >= rappelS) {
            m_base.modifier(QStringLiteral("UPDATE alertes SET dernier_mail = ?::timestamptz, "
                                           "rappels = rappels + 1, detail = ? WHERE id = ?"),
                            {t, detail, o->second.first});
            m_envoi({MailAlerte::Rappel, cle.first, cle.second, detail});
        }
    }
    // A kiosk is back only when it says so and is heard: a service that just reconnected knows
    // too little of the others to close their alerts.
    std::map<QString, bool> revenus;
    {
        QSqlQuery q = m_base.executer(
            QStringLiteral("SELECT kiosque, presence = 'en-ligne' AND derniere_vue > "
                           "?::timestamptz - make_interval(mins => ? + 3) FROM kiosques"),
            {t, m_regles.horsLigneMinutes});
        while (q.next())
            revenus[q.value(0).toString()] = q.value(1).toBool();
    }
    for (const auto &[cle, ouverte] : ouvertes) {
        if (vraies.count(cle))
            continue;
        if (cle.second == QLatin1String("hors-ligne") && !revenus[cle.first])
            continue;
        m_base.modifier(QStringLiteral("UPDATE alertes SET fermee = ?::timestamptz WHERE id = ?"),
                        {t, ouverte.first});
        m_envoi({MailAlerte::Retablie, cle.first, cle.second, {}});
    }
}

} // namespace Movendi::Backoffice
