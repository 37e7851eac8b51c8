#include "web/apiflotte.h"

#include "entrepot/connexionpg.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

namespace Movendi::Backoffice {

namespace {

using Statut = QHttpServerResponse::StatusCode;

QHttpServerResponse erreur(Statut statut, const QString &message)
{
    return QHttpServerResponse(QJsonObject{{QStringLiteral("erreur"), message}}, statut);
}

// The start of a local day, as the database compares it.
QString debutJour(const QDate &jour)
{
    return QDateTime(jour, QTime(0, 0)).toUTC().toString(Qt::ISODate);
}

QJsonValue horodatage(const QVariant &v)
{
    return v.isNull() ? QJsonValue() : QJsonValue(v.toDateTime().toUTC().toString(Qt::ISODate));
}

QString champCsv(QString texte)
{
    if (texte.contains(QLatin1Char(';')) || texte.contains(QLatin1Char('"')) ||
        texte.contains(QLatin1Char('\n'))) {
        texte.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        return QLatin1Char('"') + texte + QLatin1Char('"');
    }
    return texte;
}

} // namespace

ApiFlotte::ApiFlotte(ConnexionPg &base, QString jeton, QString prefixe, Horloge maintenant,
                     Publier publier)
    : m_base(base), m_jeton(std::move(jeton)), m_prefixe(std::move(prefixe)),
      m_maintenant(std::move(maintenant)), m_publier(std::move(publier))
{
}

bool ApiFlotte::autorise(const QHttpServerRequest &requete) const
{
    if (m_jeton.isEmpty())
        return false;
    const QByteArray attendu = "Bearer " + m_jeton.toUtf8();
    const QByteArray donne = requete.value("Authorization");
    // Compared in full whatever differs first, not to tell how much of it was right.
    if (donne.size() != attendu.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < donne.size(); ++i)
        difference |= static_cast<unsigned char>(donne.at(i) ^ attendu.at(i));
    return difference == 0;
}

void ApiFlotte::installer(QHttpServer &serveur)
{
    serveur.route(QStringLiteral("/api/v1/kiosques"), QHttpServerRequest::Method::Get,
                  [this](const QHttpServerRequest &r) { return kiosques(r); });
    serveur.route(
        QStringLiteral("/api/v1/kiosques/<arg>"), QHttpServerRequest::Method::Get,
        [this](const QString &nom, const QHttpServerRequest &r) { return kiosque(nom, r); });
    serveur.route(
        QStringLiteral("/api/v1/kiosques/<arg>/commandes"), QHttpServerRequest::Method::Post,
        [this](const QString &nom, const QHttpServerRequest &r) { return commander(nom, r); });
    serveur.route(QStringLiteral("/api/v1/alertes"), QHttpServerRequest::Method::Get,
                  [this](const QHttpServerRequest &r) { return alertes(r); });
    serveur.route(QStringLiteral("/api/v1/ventes"), QHttpServerRequest::Method::Get,
                  [this](const QHttpServerRequest &r) { return ventes(r); });
}

QHttpServerResponse ApiFlotte::kiosques(const QHttpServerRequest &requete)
{
    if (!autorise(requete))
        return erreur(Statut::Unauthorized, QStringLiteral("jeton absent ou faux"));
    try {
        const QDate jour = m_maintenant().toLocalTime().date();
        QSqlQuery q = m_base.executer(
            QStringLiteral("SELECT k.kiosque, k.presence, k.derniere_vue, k.en_service, "
                           "COUNT(v.id_evenement), COALESCE(SUM(v.montant_centimes), 0), "
                           "(SELECT COUNT(*) FROM alertes a WHERE a.kiosque = k.kiosque AND "
                           "a.fermee IS NULL) FROM kiosques k LEFT JOIN ventes v ON v.kiosque = "
                           "k.kiosque AND v.horodatage >= ?::timestamptz AND v.horodatage < "
                           "?::timestamptz GROUP BY k.kiosque ORDER BY k.kiosque"),
            {debutJour(jour), debutJour(jour.addDays(1))});
        QJsonArray lignes;
        while (q.next())
            lignes.append(QJsonObject{
                {QStringLiteral("kiosque"), q.value(0).toString()},
                {QStringLiteral("presence"),
                 q.value(1).isNull() ? QJsonValue() : QJsonValue(q.value(1).toString())},
                {QStringLiteral("derniereVue"), horodatage(q.value(2))},
                {QStringLiteral("enService"),
                 q.value(3).isNull() ? QJsonValue() : QJsonValue(q.value(3).toBool())},
                {QStringLiteral("ventesJour"), q.value(4).toLongLong()},
                {QStringLiteral("montantJourCentimes"), q.value(5).toLongLong()},
                {QStringLiteral("alertesOuvertes"), q.value(6).toLongLong()}});
        return QHttpServerResponse(lignes);
    } catch (const ErreurBase &e) {
        return erreur(Statut::ServiceUnavailable, e.raison());
    }
}

QHttpServerResponse ApiFlotte::kiosque(const QString &nom, const QHttpServerRequest &requete)
{
    if (!autorise(requete))
        return erreur(Statut::Unauthorized, QStringLiteral("jeton absent ou faux"));
    try {
        QSqlQuery k = m_base.executer(
            QStringLiteral("SELECT presence, presence_depuis, derniere_vue, en_service, "
                           "etat::text FROM kiosques WHERE kiosque = ?"),
            {nom});
        if (!k.next())
            return erreur(Statut::NotFound, QStringLiteral("kiosque inconnu"));
        const QJsonObject etat = QJsonDocument::fromJson(k.value(4).toByteArray()).object();
        QJsonObject o{{QStringLiteral("kiosque"), nom},
                      {QStringLiteral("presence"),
                       k.value(0).isNull() ? QJsonValue() : QJsonValue(k.value(0).toString())},
                      {QStringLiteral("presenceDepuis"), horodatage(k.value(1))},
                      {QStringLiteral("derniereVue"), horodatage(k.value(2))},
                      {QStringLiteral("enService"),
                       k.value(3).isNull() ? QJsonValue() : QJsonValue(k.value(3).toBool())},
                      {QStringLiteral("stock"), etat.value(QStringLiteral("stock"))},
                      {QStringLiteral("emplacementsLibres"),
                       etat.value(QStringLiteral("emplacementsLibres"))}};
        QSqlQuery v = m_base.executer(
            QStringLiteral("SELECT id_evenement, num_vente, horodatage, montant_centimes, "
                           "statut_debit, carte FROM ventes WHERE kiosque = ? ORDER BY "
                           "horodatage DESC LIMIT 50"),
            {nom});
        QJsonArray ventes;
        while (v.next())
            ventes.append(QJsonObject{{QStringLiteral("id"), v.value(0).toString()},
                                      {QStringLiteral("numVente"), v.value(1).toLongLong()},
                                      {QStringLiteral("horodatage"), horodatage(v.value(2))},
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
            remises.append(QJsonObject{
                {QStringLiteral("noRemise"), r.value(0).toInt()},
                {QStringLiteral("horodatage"), horodatage(r.value(1))},
                {QStringLiteral("nbTransactions"),
                 r.value(2).isNull() ? QJsonValue() : QJsonValue(r.value(2).toLongLong())},
                {QStringLiteral("montantCentimes"), r.value(3).toLongLong()},
                {QStringLiteral("local"),
                 QJsonObject{{QStringLiteral("nbDebits"), r.value(4).toLongLong()},
                             {QStringLiteral("montantCentimes"), r.value(5).toLongLong()}}},
                {QStringLiteral("ecart"), r.value(6).toBool()}});
        o.insert(QStringLiteral("remises"), remises);
        QSqlQuery c = m_base.executer(
            QStringLiteral("SELECT c.id, c.commande, c.envoyee, c.par, r.resultat, r.message, "
                           "r.recu FROM commandes c LEFT JOIN reponses r ON r.kiosque = "
                           "c.kiosque AND r.id = c.id WHERE c.kiosque = ? ORDER BY c.envoyee "
                           "DESC LIMIT 20"),
            {nom});
        QJsonArray commandes;
        while (c.next())
            commandes.append(QJsonObject{
                {QStringLiteral("id"), c.value(0).toString()},
                {QStringLiteral("commande"), c.value(1).toString()},
                {QStringLiteral("envoyee"), horodatage(c.value(2))},
                {QStringLiteral("par"), c.value(3).toString()},
                {QStringLiteral("resultat"),
                 c.value(4).isNull() ? QJsonValue() : QJsonValue(c.value(4).toString())},
                {QStringLiteral("message"),
                 c.value(5).isNull() ? QJsonValue() : QJsonValue(c.value(5).toString())},
                {QStringLiteral("repondue"), horodatage(c.value(6))}});
        o.insert(QStringLiteral("commandes"), commandes);
        return QHttpServerResponse(o);
    } catch (const ErreurBase &e) {
        return erreur(Statut::ServiceUnavailable, e.raison());
    }
}

QHttpServerResponse ApiFlotte::alertes(const QHttpServerRequest &requete)
{
    if (!autorise(requete))
        return erreur(Statut::Unauthorized, QStringLiteral("jeton absent ou faux"));
    const bool toutes =
        requete.query().queryItemValue(QStringLiteral("toutes")) == QLatin1String("1");
    try {
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
                                       {QStringLiteral("ouverte"), horodatage(q.value(3))},
                                       {QStringLiteral("dernierMail"), horodatage(q.value(4))},
                                       {QStringLiteral("rappels"), q.value(5).toInt()},
                                       {QStringLiteral("fermee"), horodatage(q.value(6))}});
        return QHttpServerResponse(alertes);
    } catch (const ErreurBase &e) {
        return erreur(Statut::ServiceUnavailable, e.raison());
    }
}

QHttpServerResponse ApiFlotte::commander(const QString &nom, const QHttpServerRequest &requete)
{
    if (!autorise(requete))
        return erreur(Statut::Unauthorized, QStringLiteral("jeton absent ou faux"));
    const QString commande = QJsonDocument::fromJson(requete.body())
                                 .object()
                                 .value(QStringLiteral("commande"))
                                 .toString();
    if (commande != QLatin1String("hors-service") && commande != QLatin1String("en-service") &&
        commande != QLatin1String("etat"))
        return erreur(Statut::BadRequest,
                      QStringLiteral("commande attendue: hors-service, en-service ou etat"));
    try {
        QSqlQuery k =
            m_base.executer(QStringLiteral("SELECT 1 FROM kiosques WHERE kiosque = ?"), {nom});
        if (!k.next())
            return erreur(Statut::NotFound, QStringLiteral("kiosque inconnu"));
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QByteArray charge = QJsonDocument(QJsonObject{{QStringLiteral("id"), id},
                                                            {QStringLiteral("commande"), commande}})
                                      .toJson(QJsonDocument::Compact);
        if (!m_publier(m_prefixe + QLatin1Char('/') + nom + QStringLiteral("/commandes"), charge))
            return erreur(Statut::ServiceUnavailable, QStringLiteral("courtier injoignable"));
        m_base.modifier(QStringLiteral("INSERT INTO commandes (id, kiosque, commande, envoyee, "
                                       "par) VALUES (?, ?, ?, ?::timestamptz, ?)"),
                        {id, nom, commande, m_maintenant().toUTC().toString(Qt::ISODateWithMs),
                         QStringLiteral("api")});
        return QHttpServerResponse(QJsonObject{{QStringLiteral("id"), id}}, Statut::Accepted);
    } catch (const ErreurBase &e) {
        return erreur(Statut::ServiceUnavailable, e.raison());
    }
}

QHttpServerResponse ApiFlotte::ventes(const QHttpServerRequest &requete)
{
    if (!autorise(requete))
        return erreur(Statut::Unauthorized, QStringLiteral("jeton absent ou faux"));
    const QUrlQuery q = requete.query();
    const QDate du = QDate::fromString(q.queryItemValue(QStringLiteral("du")), Qt::ISODate);
    const QDate au = QDate::fromString(q.queryItemValue(QStringLiteral("au")), Qt::ISODate);
    if (!du.isValid() || !au.isValid() || au < du || du.daysTo(au) > 366)
        return erreur(Statut::BadRequest,
                      QStringLiteral("du et au attendus en AAAA-MM-JJ, au plus un an"));
    const QString kiosque = q.queryItemValue(QStringLiteral("kiosque"));
    try {
        QSqlQuery v = m_base.executer(
            QStringLiteral(
                "SELECT v.kiosque, v.num_vente, v.horodatage, v.montant_centimes, "
                "v.statut_debit, v.carte, l.rang, l.ref, l.designation, l.famille, "
                "l.montant_centimes FROM ventes v JOIN lignes_vente l ON "
                "l.id_evenement = v.id_evenement WHERE v.horodatage >= "
                "?::timestamptz AND v.horodatage < ?::timestamptz AND (COALESCE(?, '') = '' "
                "OR v.kiosque = ?) ORDER BY v.horodatage, v.kiosque, v.num_vente, l.rang"),
            {debutJour(du), debutJour(au.addDays(1)), kiosque, kiosque});
        if (requete.value("Accept").contains("text/csv")) {
            QByteArray csv = "kiosque;numVente;horodatage;montantCentimes;statutDebit;carte;"
                             "ligne;ref;designation;famille;montantLigneCentimes\r\n";
            while (v.next()) {
                QStringList champs;
                for (int i = 0; i < 11; ++i)
                    champs << champCsv(i == 2 ? horodatage(v.value(i)).toString()
                                              : v.value(i).toString());
                csv += champs.join(QLatin1Char(';')).toUtf8() + "\r\n";
            }
            return QHttpServerResponse("text/csv; charset=utf-8", csv);
        }
        QJsonArray ventes;
        QString courante;
        QJsonObject vente;
        QJsonArray lignes;
        const auto fermer = [&] {
            if (courante.isEmpty())
                return;
            vente.insert(QStringLiteral("lignes"), lignes);
            ventes.append(vente);
            lignes = {};
        };
        while (v.next()) {
            const QString cle = v.value(0).toString() + QLatin1Char(':') + v.value(1).toString();
            if (cle != courante) {
                fermer();
                courante = cle;
                vente = QJsonObject{{QStringLiteral("kiosque"), v.value(0).toString()},
                                    {QStringLiteral("numVente"), v.value(1).toLongLong()},
                                    {QStringLiteral("horodatage"), horodatage(v.value(2))},
                                    {QStringLiteral("montantCentimes"), v.value(3).toLongLong()},
                                    {QStringLiteral("statutDebit"), v.value(4).toInt()},
                                    {QStringLiteral("carte"), v.value(5).toString()}};
            }
            lignes.append(
                QJsonObject{{QStringLiteral("ref"), v.value(7).toLongLong()},
                            {QStringLiteral("designation"), v.value(8).toString()},
                            {QStringLiteral("famille"), v.value(9).toInt()},
                            {QStringLiteral("montantCentimes"), v.value(10).toLongLong()}});
        }
        fermer();
        return QHttpServerResponse(ventes);
    } catch (const ErreurBase &e) {
        return erreur(Statut::ServiceUnavailable, e.raison());
    }
}

} // namespace Movendi::Backoffice
