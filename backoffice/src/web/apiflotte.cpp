#include "web/apiflotte.h"

#include "entrepot/connexionpg.h"
#include "entrepot/entrepot.h"
#include "web/lectureflotte.h"
#include "web/sessions.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QSqlRecord>

namespace Movendi::Backoffice {

namespace {

using Statut = QHttpServerResponse::StatusCode;

QHttpServerResponse erreur(Statut statut, const QString &message)
{
    return QHttpServerResponse(QJsonObject{{QStringLiteral("erreur"), message}}, statut);
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

ApiFlotte::ApiFlotte(ConnexionPg &base, LectureFlotte &lecture, Sessions &sessions, QString jeton)
    : m_base(base), m_lecture(lecture), m_sessions(sessions), m_jeton(std::move(jeton))
{
}

std::optional<QString> ApiFlotte::demandeur(const QHttpServerRequest &requete, bool modification)
{
    const QByteArray donne = requete.value("Authorization");
    if (!donne.isEmpty())
        return !m_jeton.isEmpty() && egauxEnTempsConstant(donne, "Bearer " + m_jeton.toUtf8())
                   ? std::optional<QString>(QStringLiteral("api"))
                   : std::nullopt;
    const std::optional<Session> session = m_sessions.deRequete(requete, m_lecture.maintenant());
    if (!session || (modification && !egauxEnTempsConstant(requete.value("X-CSRF-Token"),
                                                           session->jetonFormulaire)))
        return std::nullopt;
    return session->operateur;
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
    if (!demandeur(requete, false))
        return erreur(Statut::Unauthorized, QStringLiteral("jeton absent ou faux"));
    try {
        return QHttpServerResponse(m_lecture.kiosques());
    } catch (const ErreurBase &e) {
        return erreur(Statut::ServiceUnavailable, e.raison());
    }
}

QHttpServerResponse ApiFlotte::kiosque(const QString &nom, const QHttpServerRequest &requete)
{
    if (!demandeur(requete, false))
        return erreur(Statut::Unauthorized, QStringLiteral("jeton absent ou faux"));
    try {
        const std::optional<QJsonObject> k = m_lecture.kiosque(nom);
        if (!k)
            return erreur(Statut::NotFound, QStringLiteral("kiosque inconnu"));
        return QHttpServerResponse(*k);
    } catch (const ErreurBase &e) {
        return erreur(Statut::ServiceUnavailable, e.raison());
    }
}

QHttpServerResponse ApiFlotte::alertes(const QHttpServerRequest &requete)
{
    if (!demandeur(requete, false))
        return erreur(Statut::Unauthorized, QStringLiteral("jeton absent ou faux"));
    try {
        return QHttpServerResponse(m_lecture.alertes(
            requete.query().queryItemValue(QStringLiteral("toutes")) == QLatin1String("1")));
    } catch (const ErreurBase &e) {
        return erreur(Statut::ServiceUnavailable, e.raison());
    }
}

QHttpServerResponse ApiFlotte::commander(const QString &nom, const QHttpServerRequest &requete)
{
    const std::optional<QString> par = demandeur(requete, true);
    if (!par)
        return erreur(Statut::Unauthorized, QStringLiteral("jeton absent ou faux"));
    const QString commande = QJsonDocument::fromJson(requete.body())
                                 .object()
                                 .value(QStringLiteral("commande"))
                                 .toString();
    try {
        const LectureFlotte::Envoi envoi = m_lecture.commander(nom, commande, *par);
        switch (envoi.resultat) {
        case LectureFlotte::Commande::Envoyee:
            return QHttpServerResponse(QJsonObject{{QStringLiteral("id"), envoi.id}},
                                       Statut::Accepted);
        case LectureFlotte::Commande::Inconnue:
            return erreur(Statut::BadRequest,
                          QStringLiteral("commande attendue: hors-service, en-service ou etat"));
        case LectureFlotte::Commande::KiosqueInconnu:
            return erreur(Statut::NotFound, QStringLiteral("kiosque inconnu"));
        case LectureFlotte::Commande::CourtierInjoignable:
            break;
        }
        return erreur(Statut::ServiceUnavailable, QStringLiteral("courtier injoignable"));
    } catch (const ErreurBase &e) {
        return erreur(Statut::ServiceUnavailable, e.raison());
    }
}

QHttpServerResponse ApiFlotte::ventes(const QHttpServerRequest &requete)
{
    if (!demandeur(requete, false))
        return erreur(Statut::Unauthorized, QStringLiteral("jeton absent ou faux"));
    const QUrlQuery q = requete.query();
    const QDate du = QDate::fromString(q.queryItemValue(QStringLiteral("du")), Qt::ISODate);
    const QDate au = QDate::fromString(q.queryItemValue(QStringLiteral("au")), Qt::ISODate);
    if (!du.isValid() || !au.isValid() || au < du || du.daysTo(au) > 366)
        return erreur(Statut::BadRequest,
                      QStringLiteral("du et au attendus en AAAA-MM-JJ, au plus un an"));
    const QString kiosque = q.queryItemValue(QStringLiteral("kiosque"));
    if (!kiosque.isEmpty() && !nomKiosqueValide(kiosque))
        return erreur(Statut::BadRequest, QStringLiteral("nom de kiosque invalide"));
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
                    champs << champCsv(i == 2 ? horodatageJson(v.value(i)).toString()
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
                                    {QStringLiteral("horodatage"), horodatageJson(v.value(2))},
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
