#include "web/lectureflotte.h"

#include "entrepot/connexionpg.h"
#include "entrepot/entrepot.h"

#include <QJsonDocument>
#include <QSqlQuery>
#include <QUuid>

namespace Movendi::Backoffice {

namespace {

QJsonValue texteOuNul(const QVariant &v)
{
    return v.isNull() ? QJsonValue() : QJsonValue(v.toString());
}

} // namespace

QString debutJour(const QDate &jour)
{
    return QDateTime(jour, QTime(0, 0)).toUTC().toString(Qt::ISODate);
}

QJsonValue horodatageJson(const QVariant &v)
{
    return v.isNull() ? QJsonValue() : QJsonValue(v.toDateTime().toUTC().toString(Qt::ISODate));
}

LectureFlotte::LectureFlotte(ConnexionPg &base, QString prefixe, Horloge maintenant,
                             Publier publier)
    : m_base(base), m_prefixe(std::move(prefixe)), m_maintenant(std::move(maintenant)),
      m_publier(std::move(publier))
{
}

QJsonArray LectureFlotte::kiosques()
{
    const QDate jour = m_maintenant().toLocalTime().date();
    // The day's sales and the open alerts grouped first, then one row per kiosk: the states
    // themselves are never carried through an aggregate.
    QSqlQuery q = m_base.executer(
        QStringLiteral("SELECT k.kiosque, k.presence, k.derniere_vue, k.en_service, "
                       "COALESCE(v.n, 0), COALESCE(v.montant, 0), COALESCE(a.n, 0), "
                       "(k.etat->'emplacementsLibres'->>'telephones')::bigint, "
                       "(k.etat->'emplacementsLibres'->>'recharges')::bigint FROM kiosques k "
                       "LEFT JOIN (SELECT kiosque, COUNT(*) AS n, SUM(montant_centimes) AS "
                       "montant FROM ventes WHERE horodatage >= ?::timestamptz AND horodatage < "
                       "?::timestamptz GROUP BY kiosque) v ON v.kiosque = k.kiosque LEFT JOIN "
                       "(SELECT kiosque, COUNT(*) AS n FROM alertes WHERE fermee IS NULL GROUP "
                       "BY kiosque) a ON a.kiosque = k.kiosque ORDER BY k.kiosque"),
        {debutJour(jour), debutJour(jour.addDays(1))});
    QJsonArray lignes;
    while (q.next()) {
        QJsonObject k{{QStringLiteral("kiosque"), q.value(0).toString()},
                      {QStringLiteral("presence"), texteOuNul(q.value(1))},
                      {QStringLiteral("derniereVue"), horodatageJson(q.value(2))},
                      {QStringLiteral("enService"),
                       q.value(3).isNull() ? QJsonValue() : QJsonValue(q.value(3).toBool())},
                      {QStringLiteral("ventesJour"), q.value(4).toLongLong()},
                      {QStringLiteral("montantJourCentimes"), q.value(5).toLongLong()},
                      {QStringLiteral("alertesOuvertes"), q.value(6).toLongLong()}};
        if (!q.value(7).isNull() && !q.value(8).isNull())
            k.insert(QStringLiteral("emplacementsLibres"),
                     QJsonObject{{QStringLiteral("telephones"), q.value(7).toLongLong()},
                                 {QStringLiteral("recharges"), q.value(8).toLongLong()}});
        lignes.append(k);
    }
    return lignes;
}

std::optional<QJsonObject> LectureFlotte::kiosque(const QString &nom)
{
    if (!nomKiosqueValide(nom))
        return std::nullopt;
    QSqlQuery k = m_base.executer(
        QStringLiteral("SELECT presence, presence_depuis, derniere_vue, en_service, "
                       "etat::text FROM kiosques WHERE kiosque = ?"),
        {nom});
    if (!k.next())
        return std::nullopt;
    const QJsonObject etat = QJsonDocument::fromJson(k.value(4).toByteArray()).object();
    QJsonObject o{
        {QStringLiteral("kiosque"), nom},
        {QStringLiteral("presence"), texteOuNul(k.value(0))},
        {QStringLiteral("presenceDepuis"), horodatageJson(k.value(1))},
        {QStringLiteral("derniereVue"), horodatageJson(k.value(2))},
        {QStringLiteral("enService"),
         k.value(3).isNull() ? QJsonValue() : QJsonValue(k.value(3).toBool())},
        {QStringLiteral("stock"), etat.value(QStringLiteral("stock"))},
        {QStringLiteral("emplacementsLibres"), etat.value(QStringLiteral("emplacementsLibres"))}};
    QSqlQuery v = m_base.executer(
        QStringLiteral("SELECT id_evenement, num_vente, horodatage, montant_centimes, "
                       "statut_debit, carte FROM ventes WHERE kiosque = ? ORDER BY "
                       "horodatage DESC LIMIT 50"),
        {nom});
    QJsonArray ventes;
    while (v.next())
        ventes.append(QJsonObject{{QStringLiteral("id"), v.value(0).toString()},
                                  {QStringLiteral("numVente"), v.value(1).toLongLong()},
                                  {QStringLiteral("horodatage"), horodatageJson(v.value(2))},
                                  {QStringLiteral("montantCentimes"), v.value(3).toLongLong()},
                                  {QStringLiteral("statutDebit"), v.value(4).toInt()},
                                  {QStringLiteral("carte"), v.value(5).toString()}});
    o.insert(QStringLiteral("ventes"), ventes);
    QSqlQuery r = m_base.executer(
        QStringLiteral("SELECT no_remise, horodatage, nb_transactions, montant_centimes, "
                       "local_nb_debits, local_montant_centimes, ecart FROM remises WHERE "
                       "kiosque = ? ORDER BY horodatage DESC LIMIT 30"),
        {nom});
    QJsonArray remises;
    while (r.next())
        remises.append(
            QJsonObject{{QStringLiteral("noRemise"), r.value(0).toInt()},
                        {QStringLiteral("horodatage"), horodatageJson(r.value(1))},
                        {QStringLiteral("nbTransactions"),
                         r.value(2).isNull() ? QJsonValue() : QJsonValue(r.value(2).toLongLong())},
                        {QStringLiteral("montantCentimes"), r.value(3).toLongLong()},
                        {QStringLiteral("local"),
                         QJsonObject{{QStringLiteral("nbDebits"), r.value(4).toLongLong()},
                                     {QStringLiteral("montantCentimes"), r.value(5).toLongLong()}}},
                        {QStringLiteral("ecart"), r.value(6).toBool()}});
    o.insert(QStringLiteral("remises"), remises);
    QSqlQuery a = m_base.executer(
        QStringLiteral("SELECT horodatage, code, contexte, message FROM alarmes WHERE kiosque = "
                       "? ORDER BY horodatage DESC LIMIT 30"),
        {nom});
    QJsonArray alarmes;
    while (a.next())
        alarmes.append(QJsonObject{{QStringLiteral("horodatage"), horodatageJson(a.value(0))},
                                   {QStringLiteral("code"), a.value(1).toString()},
                                   {QStringLiteral("contexte"), texteOuNul(a.value(2))},
                                   {QStringLiteral("message"), texteOuNul(a.value(3))}});
    o.insert(QStringLiteral("alarmes"), alarmes);
    QSqlQuery c = m_base.executer(
        QStringLiteral("SELECT c.id, c.commande, c.envoyee, c.par, r.resultat, r.message, "
                       "r.recu FROM commandes c LEFT JOIN reponses r ON r.kiosque = "
                       "c.kiosque AND r.id = c.id WHERE c.kiosque = ? ORDER BY c.envoyee "
                       "DESC LIMIT 20"),
        {nom});
    QJsonArray commandes;
    while (c.next())
        commandes.append(QJsonObject{{QStringLiteral("id"), c.value(0).toString()},
                                     {QStringLiteral("commande"), c.value(1).toString()},
                                     {QStringLiteral("envoyee"), horodatageJson(c.value(2))},
                                     {QStringLiteral("par"), c.value(3).toString()},
                                     {QStringLiteral("resultat"), texteOuNul(c.value(4))},
                                     {QStringLiteral("message"), texteOuNul(c.value(5))},
                                     {QStringLiteral("repondue"), horodatageJson(c.value(6))}});
    o.insert(QStringLiteral("commandes"), commandes);
    return o;
}

QJsonArray LectureFlotte::alertes(bool toutes)
{
    QSqlQuery q = m_base.executer(
        QStringLiteral("SELECT kiosque, sujet, detail, ouverte, dernier_mail, rappels, fermee "
                       "FROM alertes WHERE fermee IS NULL OR ? ORDER BY ouverte DESC LIMIT "
                       "1000"),
        {toutes});
    QJsonArray alertes;
    while (q.next())
        alertes.append(QJsonObject{{QStringLiteral("kiosque"), q.value(0).toString()},
                                   {QStringLiteral("sujet"), q.value(1).toString()},
                                   {QStringLiteral("detail"), q.value(2).toString()},
                                   {QStringLiteral("ouverte"), horodatageJson(q.value(3))},
                                   {QStringLiteral("dernierMail"), horodatageJson(q.value(4))},
                                   {QStringLiteral("rappels"), q.value(5).toInt()},
                                   {QStringLiteral("fermee"), horodatageJson(q.value(6))}});
    return alertes;
}

bool LectureFlotte::commandeConnue(const QString &commande)
{
    return commande == QLatin1String("hors-service") || commande == QLatin1String("en-service") ||
           commande == QLatin1String("etat");
}

LectureFlotte::Envoi LectureFlotte::commander(const QString &nom, const QString &commande,
                                              const QString &par)
{
    if (!commandeConnue(commande))
        return {Commande::Inconnue, {}};
    if (!nomKiosqueValide(nom))
        return {Commande::KiosqueInconnu, {}};
    QSqlQuery k =
        m_base.executer(QStringLiteral("SELECT 1 FROM kiosques WHERE kiosque = ?"), {nom});
    if (!k.next())
        return {Commande::KiosqueInconnu, {}};
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray charge = QJsonDocument(QJsonObject{{QStringLiteral("id"), id},
                                                        {QStringLiteral("commande"), commande}})
                                  .toJson(QJsonDocument::Compact);
    if (!m_publier(m_prefixe + QLatin1Char('/') + nom + QStringLiteral("/commandes"), charge))
        return {Commande::CourtierInjoignable, {}};
    m_base.modifier(QStringLiteral("INSERT INTO commandes (id, kiosque, commande, envoyee, par) "
                                   "VALUES (?, ?, ?, ?::timestamptz, ?)"),
                    {id, nom, commande, m_maintenant().toUTC().toString(Qt::ISODateWithMs), par});
    return {Commande::Envoyee, id};
}

} // namespace Movendi::Backoffice
