#include "web/pagesflotte.h"

#include "entrepot/connexionpg.h"
#include "money/monnaie.h"
#include "web/lectureflotte.h"
#include "web/sessions.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>

namespace Movendi::Backoffice {

namespace {

using Statut = QHttpServerResponse::StatusCode;

// A command left unanswered this long is no longer waited for by the page.
constexpr qint64 AttenteReponseS = 120;

const char *const Feuille = R"css(
*{box-sizing:border-box}
body{margin:0;font:15px/1.4 system-ui,sans-serif;color:#1b1f24;background:#f4f5f7}
header{display:flex;flex-wrap:wrap;gap:.5em 1.2em;align-items:center;padding:.6em 1em;background:#1d3557;color:#fff}
header a{color:#fff;text-decoration:none;font-weight:600}
header form{margin-left:auto}
main{padding:1em;max-width:1240px;margin:auto}
h1{font-size:1.4em;margin:.2em 0 .6em}
h2{font-size:1.1em;margin:1.4em 0 .4em}
.tableau{overflow-x:auto;background:#fff;border:1px solid #d8dce2;border-radius:4px}
table{border-collapse:collapse;width:100%}
th,td{padding:.35em .6em;text-align:left;border-bottom:1px solid #e6e8ec;white-space:nowrap}
th{background:#eef0f3;font-weight:600}
td.n{text-align:right;font-variant-numeric:tabular-nums}
.en-ligne{color:#1b7f3b;font-weight:600}
.hors-ligne,.ecart,.alerte{color:#b3261e;font-weight:600}
.vide{color:#6b7280}
.boutons{display:flex;flex-wrap:wrap;gap:.5em}
button{font:inherit;padding:.45em .9em;border:1px solid #1d3557;border-radius:4px;background:#fff;color:#1d3557;cursor:pointer}
button.principal{background:#1d3557;color:#fff}
header button{border-color:#fff;background:transparent;color:#fff;padding:.2em .6em}
.message{padding:.6em .8em;border-radius:4px;background:#fff4e5;border:1px solid #f0c36d;margin:.6em 0}
form.connexion{max-width:22em;margin:3em auto;background:#fff;padding:1.2em;border:1px solid #d8dce2;border-radius:4px}
label{display:block;margin:.6em 0 .2em}
input[type=text],input[type=password]{width:100%;font:inherit;padding:.45em;border:1px solid #b8bec8;border-radius:4px}
@media (max-width:600px){main{padding:.5em}th,td{padding:.3em .4em}}
)css";

// The style class of a presence: only an online kiosk is shown as such.
QString classePresence(const QString &presence)
{
    return presence == QLatin1String("en-ligne") ? QStringLiteral("en-ligne")
                                                 : QStringLiteral("hors-ligne");
}

QString montant(qint64 centimes)
{
    return Money::Monnaie::depuisCentimes(centimes).texteMonetaire();
}

// An API time stamp (UTC) as the operator reads it, in the server's local time.
QString quand(const QJsonValue &v)
{
    if (!v.isString())
        return QStringLiteral("—");
    return QDateTime::fromString(v.toString(), Qt::ISODate)
        .toLocalTime()
        .toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QString lienKiosque(const QString &nom)
{
    return QStringLiteral("<a href=\"/kiosques/%1\">%2</a>")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(nom)), echapperHtml(nom));
}

QString champJeton(const QByteArray &jeton)
{
    return QStringLiteral("<input type=\"hidden\" name=\"jeton\" value=\"%1\">")
        .arg(QString::fromLatin1(jeton));
}

QString tableau(const QStringList &entetes, const QStringList &lignes, const QString &vide)
{
    if (lignes.isEmpty())
        return QStringLiteral("<p class=\"vide\">%1</p>").arg(vide);
    QString html = QStringLiteral("<div class=\"tableau\"><table><thead><tr>");
    for (const QString &e : entetes)
        html += QStringLiteral("<th>") + e + QStringLiteral("</th>");
    html += QStringLiteral("</tr></thead><tbody>") + lignes.join(QString()) +
            QStringLiteral("</tbody></table></div>");
    return html;
}

QString ligne(const QStringList &cellules)
{
    return QStringLiteral("<tr>") + cellules.join(QString()) + QStringLiteral("</tr>");
}

QString cellule(const QString &html, const char *classe = nullptr)
{
    return classe ? QStringLiteral("<td class=\"%1\">%2</td>").arg(QLatin1String(classe), html)
                  : QStringLiteral("<td>") + html + QStringLiteral("</td>");
}

void entetesCommuns(QHttpServerResponse &r)
{
    r.setHeader("Cache-Control", "no-store");
    r.setHeader("X-Content-Type-Options", "nosniff");
    r.setHeader("X-Frame-Options", "DENY");
    r.setHeader("Referrer-Policy", "same-origin");
    r.setHeader("Content-Security-Policy",
                "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; "
                "frame-ancestors 'none'; base-uri 'none'");
}

QHttpServerResponse page(const QString &titre, const QString &corps,
                         const std::optional<Session> &session, Statut statut = Statut::Ok,
                         int rafraichirS = 0)
{
    QString html = QStringLiteral("<!DOCTYPE html><html lang=\"fr\"><head><meta charset=\"utf-8\">"
                                  "<meta name=\"viewport\" content=\"width=device-width, "
                                  "initial-scale=1\">");
    if (rafraichirS > 0)
        html += QStringLiteral("<meta http-equiv=\"refresh\" content=\"%1\">").arg(rafraichirS);
    html += QStringLiteral("<title>%1 — Movendi flotte</title><link rel=\"stylesheet\" "
                           "href=\"/style.css\"></head><body>")
                .arg(echapperHtml(titre));
    if (session)
        html += QStringLiteral("<header><a href=\"/flotte\">Flotte</a><a href=\"/alertes\">"
                               "Alertes</a><form method=\"post\" action=\"/deconnexion\">%1"
                               "<button type=\"submit\">Déconnexion (%2)</button></form>"
                               "</header>")
                    .arg(champJeton(session->jetonFormulaire), echapperHtml(session->operateur));
    html += QStringLiteral("<main>") + corps + QStringLiteral("</main></body></html>");
    QHttpServerResponse r("text/html; charset=utf-8", html.toUtf8(), statut);
    entetesCommuns(r);
    return r;
}

QHttpServerResponse redirection(const QByteArray &vers)
{
    QHttpServerResponse r(Statut::SeeOther);
    r.setHeader("Location", vers);
    entetesCommuns(r);
    return r;
}

QByteArray cookie(const char *nom, const QByteArray &valeur, const QHttpServerRequest &requete,
                  qint64 ageS)
{
    // Behind a TLS proxy the cookie never travels in clear.
    const bool tls = requete.value("X-Forwarded-Proto") == "https";
    return QByteArray(nom) + '=' + valeur +
           "; Path=/; HttpOnly; SameSite=Strict; Max-Age=" + QByteArray::number(ageS) +
           (tls ? "; Secure" : "");
}

// A posted form's fields ("+" stands for a space there).
QUrlQuery champs(const QHttpServerRequest &requete)
{
    QByteArray corps = requete.body();
    corps.replace('+', ' ');
    return QUrlQuery(QString::fromUtf8(corps));
}

QString valeur(const QUrlQuery &q, const char *cle)
{
    return q.queryItemValue(QLatin1String(cle), QUrl::FullyDecoded);
}

QHttpServerResponse refusFormulaire(const std::optional<Session> &session)
{
    return page(QStringLiteral("Formulaire refusé"),
                QStringLiteral("<h1>Formulaire refusé</h1><p class=\"message\">Jeton de "
                               "formulaire absent ou faux: rechargez la page et recommencez.</p>"),
                session, Statut::Forbidden);
}

QHttpServerResponse baseIndisponible(const ErreurBase &e, const std::optional<Session> &session)
{
    return page(QStringLiteral("Base indisponible"),
                QStringLiteral("<h1>Base indisponible</h1><p class=\"message\">%1</p>")
                    .arg(echapperHtml(e.raison())),
                session, Statut::ServiceUnavailable);
}

QString formulaireConnexion(const QByteArray &jeton, const QString &message)
{
    return QStringLiteral("<form class=\"connexion\" method=\"post\" action=\"/connexion\">"
                          "<h1>Movendi flotte</h1>%1%2"
                          "<label for=\"nom\">Opérateur</label><input type=\"text\" id=\"nom\" "
                          "name=\"nom\" autocomplete=\"username\" required autofocus>"
                          "<label for=\"motdepasse\">Mot de passe</label><input "
                          "type=\"password\" id=\"motdepasse\" name=\"motdepasse\" "
                          "autocomplete=\"current-password\" required>"
                          "<p><button class=\"principal\" type=\"submit\">Se connecter</button>"
                          "</p></form>")
        .arg(message.isEmpty()
                 ? QString()
                 : QStringLiteral("<p class=\"message\">%1</p>").arg(echapperHtml(message)),
             champJeton(jeton));
}

} // namespace

QString echapperHtml(const QString &texte)
{
    return texte.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

PagesFlotte::PagesFlotte(LectureFlotte &lecture, Sessions &sessions, Authentifier authentifier)
    : m_lecture(lecture), m_sessions(sessions), m_authentifier(std::move(authentifier))
{
}

void PagesFlotte::installer(QHttpServer &serveur)
{
    using M = QHttpServerRequest::Method;
    serveur.route(QStringLiteral("/"), M::Get,
                  [](const QHttpServerRequest &) { return redirection("/flotte"); });
    serveur.route(QStringLiteral("/style.css"), M::Get, [](const QHttpServerRequest &) {
        QHttpServerResponse r("text/css; charset=utf-8", QByteArray(Feuille));
        r.setHeader("Cache-Control", "max-age=3600");
        r.setHeader("X-Content-Type-Options", "nosniff");
        return r;
    });
    serveur.route(QStringLiteral("/connexion"), M::Get,
                  [this](const QHttpServerRequest &r) { return connexion(r); });
    serveur.route(QStringLiteral("/connexion"), M::Post,
                  [this](const QHttpServerRequest &r) { return seConnecter(r); });
    serveur.route(QStringLiteral("/deconnexion"), M::Post,
                  [this](const QHttpServerRequest &r) { return seDeconnecter(r); });
    serveur.route(QStringLiteral("/flotte"), M::Get,
                  [this](const QHttpServerRequest &r) { return flotte(r); });
    serveur.route(QStringLiteral("/alertes"), M::Get,
                  [this](const QHttpServerRequest &r) { return alertes(r); });
    serveur.route(
        QStringLiteral("/kiosques/<arg>"), M::Get,
        [this](const QString &nom, const QHttpServerRequest &r) { return kiosque(nom, r); });
    serveur.route(
        QStringLiteral("/kiosques/<arg>/commandes"), M::Post,
        [this](const QString &nom, const QHttpServerRequest &r) { return commander(nom, r); });
}

std::optional<Session> PagesFlotte::session(const QHttpServerRequest &requete)
{
    return m_sessions.deRequete(requete, m_lecture.maintenant());
}

std::optional<Session> PagesFlotte::sessionDuFormulaire(const QHttpServerRequest &requete)
{
    std::optional<Session> s = session(requete);
    if (!s ||
        !egauxEnTempsConstant(valeur(champs(requete), "jeton").toLatin1(), s->jetonFormulaire))
        return std::nullopt;
    return s;
}

QHttpServerResponse PagesFlotte::connexion(const QHttpServerRequest &requete)
{
    if (session(requete))
        return redirection("/flotte");
    // The login form's token lives in its own cookie until a session replaces it.
    QByteArray jeton = valeurCookie(requete, Sessions::CookieConnexion);
    if (jeton.size() < 32)
        jeton = jetonAleatoire();
    QHttpServerResponse r = page(QStringLiteral("Connexion"), formulaireConnexion(jeton, {}), {});
    r.addHeader("Set-Cookie", cookie(Sessions::CookieConnexion, jeton, requete, 3600));
    return r;
}

QHttpServerResponse PagesFlotte::seConnecter(const QHttpServerRequest &requete)
{
    const QUrlQuery f = champs(requete);
    const QByteArray jeton = valeurCookie(requete, Sessions::CookieConnexion);
    if (jeton.size() < 32 || !egauxEnTempsConstant(valeur(f, "jeton").toLatin1(), jeton))
        return refusFormulaire({});
    const QDateTime maintenant = m_lecture.maintenant();
    const QString adresse = requete.remoteAddress().toString();
    if (!m_sessions.connexionPermise(adresse, maintenant))
        return page(QStringLiteral("Connexion"),
                    formulaireConnexion(jeton, QStringLiteral("Trop d'essais: réessayez dans "
                                                              "quelques minutes.")),
                    {}, Statut::TooManyRequests);
    const QString nom = valeur(f, "nom").trimmed();
    bool correct = false;
    try {
        correct = !nom.isEmpty() && m_authentifier(nom, valeur(f, "motdepasse"));
    } catch (const ErreurBase &e) {
        return baseIndisponible(e, {});
    }
    if (!correct) {
        m_sessions.echecConnexion(adresse, maintenant);
        qWarning("movendi-flotte: connexion refusée pour \"%s\" depuis %s", qPrintable(nom),
                 qPrintable(adresse));
        return page(
            QStringLiteral("Connexion"),
            formulaireConnexion(jeton, QStringLiteral("Opérateur ou mot de passe incorrect.")), {},
            Statut::Unauthorized);
    }
    QHttpServerResponse r = redirection("/flotte");
    r.addHeader("Set-Cookie", cookie(Sessions::Cookie, m_sessions.ouvrir(nom, maintenant), requete,
                                     Sessions::DureeMaxS));
    r.addHeader("Set-Cookie", cookie(Sessions::CookieConnexion, "", requete, 0));
    return r;
}

QHttpServerResponse PagesFlotte::seDeconnecter(const QHttpServerRequest &requete)
{
    if (!sessionDuFormulaire(requete))
        return refusFormulaire(session(requete));
    m_sessions.fermer(valeurCookie(requete, Sessions::Cookie));
    QHttpServerResponse r = redirection("/connexion");
    r.addHeader("Set-Cookie", cookie(Sessions::Cookie, "", requete, 0));
    return r;
}

QHttpServerResponse PagesFlotte::flotte(const QHttpServerRequest &requete)
{
    const std::optional<Session> s = session(requete);
    if (!s)
        return redirection("/connexion");
    try {
        const QJsonArray kiosques = m_lecture.kiosques();
        QStringList lignes;
        qint64 ventes = 0;
        qint64 total = 0;
        int enLigne = 0;
        for (const QJsonValue &v : kiosques) {
            const QJsonObject k = v.toObject();
            const QString presence = k.value(QStringLiteral("presence")).toString();
            const QJsonObject libres = k.value(QStringLiteral("emplacementsLibres")).toObject();
            const qint64 alertes = k.value(QStringLiteral("alertesOuvertes")).toInteger();
            ventes += k.value(QStringLiteral("ventesJour")).toInteger();
            total += k.value(QStringLiteral("montantJourCentimes")).toInteger();
            enLigne += presence == QLatin1String("en-ligne");
            const QJsonValue service = k.value(QStringLiteral("enService"));
            lignes << ligne(
                {cellule(lienKiosque(k.value(QStringLiteral("kiosque")).toString())),
                 QStringLiteral("<td class=\"%1\">%2</td>")
                     .arg(classePresence(presence),
                          echapperHtml(presence.isEmpty() ? QStringLiteral("inconnue") : presence)),
                 cellule(service.isBool()
                             ? (service.toBool() ? QStringLiteral("oui") : QStringLiteral("non"))
                             : QStringLiteral("—")),
                 cellule(quand(k.value(QStringLiteral("derniereVue")))),
                 cellule(QString::number(k.value(QStringLiteral("ventesJour")).toInteger()), "n"),
                 cellule(montant(k.value(QStringLiteral("montantJourCentimes")).toInteger()), "n"),
                 cellule(libres.isEmpty()
                             ? QStringLiteral("—")
                             : QStringLiteral("%1 tél. / %2 rech.")
                                   .arg(libres.value(QStringLiteral("telephones")).toInteger())
                                   .arg(libres.value(QStringLiteral("recharges")).toInteger())),
                 alertes > 0 ? QStringLiteral("<td class=\"n alerte\"><a href=\"/alertes\">%1"
                                              "</a></td>")
                                   .arg(alertes)
                             : cellule(QStringLiteral("0"), "n")});
        }
        const QString corps =
            QStringLiteral("<h1>Flotte</h1><p>%1 kiosque(s), %2 en ligne — aujourd'hui: %3 "
                           "vente(s), %4</p>")
                .arg(kiosques.size())
                .arg(enLigne)
                .arg(ventes)
                .arg(montant(total)) +
            tableau({QStringLiteral("Kiosque"), QStringLiteral("Présence"),
                     QStringLiteral("En service"), QStringLiteral("Vu le"),
                     QStringLiteral("Ventes du jour"), QStringLiteral("Montant du jour"),
                     QStringLiteral("Emplacements libres"), QStringLiteral("Alertes")},
                    lignes, QStringLiteral("Aucun kiosque ne s'est encore annoncé."));
        return page(QStringLiteral("Flotte"), corps, s, Statut::Ok, 60);
    } catch (const ErreurBase &e) {
        return baseIndisponible(e, s);
    }
}

QHttpServerResponse PagesFlotte::kiosque(const QString &nomEncode,
                                         const QHttpServerRequest &requete)
{
    const std::optional<Session> s = session(requete);
    if (!s)
        return redirection("/connexion");
    const QString nom = QUrl::fromPercentEncoding(nomEncode.toUtf8());
    try {
        const std::optional<QJsonObject> k = m_lecture.kiosque(nom);
        if (!k)
            return page(QStringLiteral("Kiosque inconnu"),
                        QStringLiteral("<h1>Kiosque inconnu</h1><p>%1</p>").arg(echapperHtml(nom)),
                        s, Statut::NotFound);
        const QString presence = k->value(QStringLiteral("presence")).toString();
        const QJsonValue service = k->value(QStringLiteral("enService"));
        QString corps =
            QStringLiteral("<h1>Kiosque %1</h1><p><span class=\"%2\">%3</span> depuis %4 — vu "
                           "le %5 — %6</p>")
                .arg(echapperHtml(nom), classePresence(presence),
                     echapperHtml(presence.isEmpty() ? QStringLiteral("présence inconnue")
                                                     : presence),
                     quand(k->value(QStringLiteral("presenceDepuis"))),
                     quand(k->value(QStringLiteral("derniereVue"))),
                     service.isBool() ? (service.toBool() ? QStringLiteral("en service")
                                                          : QStringLiteral("hors service"))
                                      : QStringLiteral("service inconnu"));
        const QUrlQuery q = requete.query();
        if (q.hasQueryItem(QStringLiteral("refus")))
            corps += QStringLiteral("<p class=\"message\">%1</p>")
                         .arg(echapperHtml(q.queryItemValue(QStringLiteral("refus")) ==
                                                   QLatin1String("courtier")
                                               ? QStringLiteral("Courtier injoignable: commande "
                                                                "non envoyée.")
                                               : QStringLiteral("Commande inconnue.")));

        // The commands, a button each; the answers below.
        corps += QStringLiteral("<h2>Commandes</h2><form method=\"post\" action=\"/kiosques/%1/"
                                "commandes\" class=\"boutons\">%2")
                     .arg(QString::fromLatin1(QUrl::toPercentEncoding(nom)),
                          champJeton(s->jetonFormulaire));
        for (const char *c : {"hors-service", "en-service", "etat"})
            corps += QStringLiteral("<button type=\"submit\" name=\"commande\" value=\"%1\">%1"
                                    "</button>")
                         .arg(QLatin1String(c));
        corps += QStringLiteral("</form>");
        QStringList lignes;
        bool attente = false;
        const QDateTime maintenant = m_lecture.maintenant();
        for (const QJsonValue &v : k->value(QStringLiteral("commandes")).toArray()) {
            const QJsonObject c = v.toObject();
            const QJsonValue resultat = c.value(QStringLiteral("resultat"));
            if (!resultat.isString() &&
                QDateTime::fromString(c.value(QStringLiteral("envoyee")).toString(), Qt::ISODate)
                        .secsTo(maintenant) < AttenteReponseS)
                attente = true;
            lignes << ligne({cellule(quand(c.value(QStringLiteral("envoyee")))),
                             cellule(echapperHtml(c.value(QStringLiteral("commande")).toString())),
                             cellule(echapperHtml(c.value(QStringLiteral("par")).toString())),
                             resultat.isString() ? cellule(echapperHtml(resultat.toString()))
                                                 : cellule(QStringLiteral("en attente"), "vide"),
                             cellule(echapperHtml(c.value(QStringLiteral("message")).toString())),
                             cellule(quand(c.value(QStringLiteral("repondue"))))});
        }
        corps +=
            tableau({QStringLiteral("Envoyée"), QStringLiteral("Commande"), QStringLiteral("Par"),
                     QStringLiteral("Réponse"), QStringLiteral("Message"), QStringLiteral("Reçue")},
                    lignes, QStringLiteral("Aucune commande envoyée."));

        // Stock by reference, from the latest state.
        lignes.clear();
        for (const QJsonValue &v : k->value(QStringLiteral("stock")).toArray()) {
            const QJsonObject r = v.toObject();
            lignes << ligne(
                {cellule(echapperHtml(r.value(QStringLiteral("ref")).toVariant().toString()), "n"),
                 cellule(echapperHtml(r.value(QStringLiteral("designation")).toString())),
                 cellule(QString::number(r.value(QStringLiteral("qte")).toInteger()), "n")});
        }
        const QJsonObject libres = k->value(QStringLiteral("emplacementsLibres")).toObject();
        corps += QStringLiteral("<h2>Stock</h2>");
        if (!libres.isEmpty())
            corps += QStringLiteral("<p>Emplacements libres: %1 téléphone(s), %2 recharge(s)</p>")
                         .arg(libres.value(QStringLiteral("telephones")).toInteger())
                         .arg(libres.value(QStringLiteral("recharges")).toInteger());
        corps += tableau(
            {QStringLiteral("Réf."), QStringLiteral("Désignation"), QStringLiteral("En machine")},
            lignes, QStringLiteral("Aucun état de stock reçu."));

        // Recent sales; cards arrive masked and are stored so.
        lignes.clear();
        for (const QJsonValue &v : k->value(QStringLiteral("ventes")).toArray()) {
            const QJsonObject r = v.toObject();
            const int statut = r.value(QStringLiteral("statutDebit")).toInt();
            lignes << ligne(
                {cellule(QString::number(r.value(QStringLiteral("numVente")).toInteger()), "n"),
                 cellule(quand(r.value(QStringLiteral("horodatage")))),
                 cellule(montant(r.value(QStringLiteral("montantCentimes")).toInteger()), "n"),
                 statut == 0 ? cellule(QStringLiteral("débitée"))
                             : cellule(statut == 1 ? QStringLiteral("non débitée")
                                                   : QStringLiteral("à vérifier"),
                                       "alerte"),
                 cellule(echapperHtml(r.value(QStringLiteral("carte")).toString()))});
        }
        corps += QStringLiteral("<h2>Ventes récentes</h2>") +
                 tableau({QStringLiteral("N°"), QStringLiteral("Date"), QStringLiteral("Montant"),
                          QStringLiteral("Débit"), QStringLiteral("Carte")},
                         lignes, QStringLiteral("Aucune vente."));

        // Remittances against the debits the kiosk recorded.
        lignes.clear();
        for (const QJsonValue &v : k->value(QStringLiteral("remises")).toArray()) {
            const QJsonObject r = v.toObject();
            const QJsonObject local = r.value(QStringLiteral("local")).toObject();
            const QJsonValue nb = r.value(QStringLiteral("nbTransactions"));
            const qint64 ecart = r.value(QStringLiteral("montantCentimes")).toInteger() -
                                 local.value(QStringLiteral("montantCentimes")).toInteger();
            lignes << ligne(
                {cellule(QString::number(r.value(QStringLiteral("noRemise")).toInt()), "n"),
                 cellule(quand(r.value(QStringLiteral("horodatage")))),
                 cellule(nb.isDouble() ? QString::number(nb.toInteger()) : QStringLiteral("?"),
                         "n"),
                 cellule(montant(r.value(QStringLiteral("montantCentimes")).toInteger()), "n"),
                 cellule(QString::number(local.value(QStringLiteral("nbDebits")).toInteger()), "n"),
                 cellule(montant(local.value(QStringLiteral("montantCentimes")).toInteger()), "n"),
                 r.value(QStringLiteral("ecart")).toBool()
                     ? cellule(QStringLiteral("écart %1").arg(montant(ecart)), "ecart")
                     : cellule(QStringLiteral("aucun"))});
        }
        corps +=
            QStringLiteral("<h2>Remises</h2>") +
            tableau({QStringLiteral("N°"), QStringLiteral("Date"), QStringLiteral("Transactions"),
                     QStringLiteral("Montant remis"), QStringLiteral("Débits du kiosque"),
                     QStringLiteral("Montant débité"), QStringLiteral("Écart")},
                    lignes, QStringLiteral("Aucune remise."));

        lignes.clear();
        for (const QJsonValue &v : k->value(QStringLiteral("alarmes")).toArray()) {
            const QJsonObject r = v.toObject();
            lignes << ligne({cellule(quand(r.value(QStringLiteral("horodatage")))),
                             cellule(echapperHtml(r.value(QStringLiteral("code")).toString())),
                             cellule(echapperHtml(r.value(QStringLiteral("contexte")).toString())),
                             cellule(echapperHtml(r.value(QStringLiteral("message")).toString()))});
        }
        corps += QStringLiteral("<h2>Alarmes</h2>") +
                 tableau({QStringLiteral("Date"), QStringLiteral("Code"),
                          QStringLiteral("Contexte"), QStringLiteral("Message")},
                         lignes, QStringLiteral("Aucune alarme."));
        // While a command waits for its answer the page reloads itself, without script.
        return page(QStringLiteral("Kiosque ") + nom, corps, s, Statut::Ok, attente ? 2 : 0);
    } catch (const ErreurBase &e) {
        return baseIndisponible(e, s);
    }
}

QHttpServerResponse PagesFlotte::commander(const QString &nomEncode,
                                           const QHttpServerRequest &requete)
{
    const std::optional<Session> s = sessionDuFormulaire(requete);
    if (!s)
        return refusFormulaire(session(requete));
    const QString nom = QUrl::fromPercentEncoding(nomEncode.toUtf8());
    const QByteArray adresse = "/kiosques/" + QUrl::toPercentEncoding(nom);
    try {
        const LectureFlotte::Envoi envoi =
            m_lecture.commander(nom, valeur(champs(requete), "commande"), s->operateur);
        switch (envoi.resultat) {
        case LectureFlotte::Commande::Envoyee:
        case LectureFlotte::Commande::KiosqueInconnu:
            return redirection(adresse);
        case LectureFlotte::Commande::Inconnue:
            return redirection(adresse + "?refus=commande");
        case LectureFlotte::Commande::CourtierInjoignable:
            break;
        }
        return redirection(adresse + "?refus=courtier");
    } catch (const ErreurBase &e) {
        return baseIndisponible(e, s);
    }
}

QHttpServerResponse PagesFlotte::alertes(const QHttpServerRequest &requete)
{
    const std::optional<Session> s = session(requete);
    if (!s)
        return redirection("/connexion");
    const bool toutes =
        requete.query().queryItemValue(QStringLiteral("toutes")) == QLatin1String("1");
    try {
        QStringList lignes;
        for (const QJsonValue &v : m_lecture.alertes(toutes)) {
            const QJsonObject a = v.toObject();
            const bool ouverte = !a.value(QStringLiteral("fermee")).isString();
            lignes << ligne(
                {cellule(lienKiosque(a.value(QStringLiteral("kiosque")).toString())),
                 cellule(echapperHtml(a.value(QStringLiteral("sujet")).toString()),
                         ouverte ? "alerte" : nullptr),
                 cellule(echapperHtml(a.value(QStringLiteral("detail")).toString())),
                 cellule(quand(a.value(QStringLiteral("ouverte")))),
                 cellule(QString::number(a.value(QStringLiteral("rappels")).toInt()), "n"),
                 cellule(ouverte ? QStringLiteral("ouverte")
                                 : QStringLiteral("rétablie le ") +
                                       quand(a.value(QStringLiteral("fermee"))))});
        }
        const QString corps =
            QStringLiteral("<h1>Alertes</h1><p><a href=\"%1\">%2</a></p>")
                .arg(toutes ? QStringLiteral("/alertes") : QStringLiteral("/alertes?toutes=1"),
                     toutes ? QStringLiteral("Les ouvertes seulement")
                            : QStringLiteral("Toutes, fermées comprises")) +
            tableau({QStringLiteral("Kiosque"), QStringLiteral("Sujet"), QStringLiteral("Détail"),
                     QStringLiteral("Ouverte le"), QStringLiteral("Rappels"),
                     QStringLiteral("État")},
                    lignes, QStringLiteral("Aucune alerte ouverte."));
        return page(QStringLiteral("Alertes"), corps, s, Statut::Ok, 60);
    } catch (const ErreurBase &e) {
        return baseIndisponible(e, s);
    }
}

} // namespace Movendi::Backoffice
