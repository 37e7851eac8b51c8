// movendi-flotte: the operator's back-office service. "init --config FILE" creates or upgrades
// the database's schema; "operateur --config FILE NAME" sets an operator's password (read from
// standard input); "--config FILE" runs the service: it keeps a persistent session on the
// broker, subscribed to every kiosk's topics, stores what they publish, judges the alerts and
// answers the API.
#include "alertes/alertes.h"
#include "alertes/courrieralertes.h"
#include "entrepot/connexionpg.h"
#include "entrepot/entrepot.h"
#include "entrepot/operateurs.h"
#include "entrepot/schema.h"
#include "entrepot/tampon.h"
#include "platform/clock.h"
#include "platform/lienmosquitto.h"
#include "platform/seams.h"
#include "platform/servicenotifier.h"
#include "platform/terminationsignal.h"
#include "reglages/reglagesservice.h"
#include "web/apiflotte.h"
#include "web/lectureflotte.h"
#include "web/pagesflotte.h"
#include "web/sessions.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHttpServer>
#include <QTextStream>

#include <functional>
#include <memory>
#include <optional>

using namespace Movendi;
using namespace Movendi::Backoffice;

namespace {

constexpr int ErreurUsage = 64;
constexpr qint64 ReessaiMs = 2000;

int usage(QTextStream &err)
{
    err << "usage: movendi-flotte --config FICHIER\n"
           "       movendi-flotte init --config FICHIER\n"
           "       movendi-flotte operateur --config FICHIER NOM   (mot de passe sur l'entrée)\n";
    return ErreurUsage;
}

int initialiser(const ReglagesService &r, QTextStream &out, QTextStream &err)
{
    try {
        ConnexionPg base(r.connexion);
        const int avant = mettreAJourSchema(base);
        if (avant == VersionSchema)
            out << "schéma déjà en version " << VersionSchema << '\n';
        else
            out << "schéma mis en version " << VersionSchema << " (version trouvée: " << avant
                << ")\n";
        return 0;
    } catch (const ErreurBase &erreur) {
        err << "erreur: " << erreur.raison() << '\n';
        return 1;
    }
}

// The password from standard input (its first line), never from the command line.
int definirOperateurDepuisEntree(const ReglagesService &r, const QString &nom, QTextStream &out,
                                 QTextStream &err)
{
    QTextStream entree(stdin);
    const QString motDePasse = entree.readLine();
    try {
        ConnexionPg base(r.connexion);
        if (versionSchema(base) != VersionSchema) {
            err << "erreur: lancez d'abord movendi-flotte init --config FICHIER\n";
            return 1;
        }
        definirOperateur(base, nom, motDePasse, Platform::clock().now());
        out << "opérateur " << nom << ": mot de passe enregistré\n";
        return 0;
    } catch (const ErreurBase &erreur) {
        err << "erreur: " << erreur.raison() << '\n';
        return 1;
    }
}

int servir(const ReglagesService &r, QTextStream &err)
{
    std::unique_ptr<ConnexionPg> base;
    try {
        base = std::make_unique<ConnexionPg>(r.connexion);
        if (const int v = versionSchema(*base); v != VersionSchema) {
            err << "erreur: schéma en version " << v << ", " << VersionSchema
                << " attendue: lancez movendi-flotte init --config FICHIER\n";
            return 1;
        }
    } catch (const ErreurBase &erreur) {
        err << "erreur: " << erreur.raison() << '\n';
        return 1;
    }
    err.flush();
    Entrepot entrepot(*base, r.prefixe);
    Platform::LienMosquitto lien;
    QObject::connect(&lien, &Platform::LienMqtt::connecte, &lien,
                     [&] { lien.abonner(r.filtre(), 1); });
    QObject::connect(&lien, &Platform::LienMqtt::deconnecte, &lien, [](const QString &raison) {
        qWarning("movendi-flotte: lien avec le courtier perdu: %s", qPrintable(raison));
    });
    // What the database cannot take now waits in memory, in order, and is tried again.
    Tampon tampon(*base, entrepot,
                  [](const QString &texte) { qWarning("movendi-flotte: %s", qPrintable(texte)); });
    QObject::connect(&lien, &Platform::LienMqtt::recu, &lien,
                     [&](const QString &sujet, const QByteArray &charge) {
                         tampon.recevoir(sujet, charge, Platform::clock().now());
                     });
    std::function<void()> reessai = [&] {
        tampon.reessayer();
        Platform::clock().callAfter(ReessaiMs, reessai);
    };
    Platform::clock().callAfter(ReessaiMs, reessai);
    // The alerts, judged every [Alertes] PasseSecondes; silence only from when the link came up.
    std::optional<QDateTime> connecteDepuis;
    QObject::connect(&lien, &Platform::LienMqtt::connecte, &lien,
                     [&] { connecteDepuis = Platform::clock().now(); });
    QObject::connect(&lien, &Platform::LienMqtt::deconnecte, &lien,
                     [&] { connecteDepuis.reset(); });
    CourrierAlertes courrier(
        r.mail, [](const QString &texte) { qWarning("movendi-flotte: %s", qPrintable(texte)); });
    Alertes alertes(*base, {r.rappelMinutes, r.horsLigneMinutes, r.aucuneVenteHeures, r.stockBas},
                    [&courrier](const MailAlerte &mail) {
                        qInfo("movendi-flotte: %s", qPrintable(mail.objet()));
                        courrier.poster(mail);
                    });
    std::function<void()> passeAlertes = [&] {
        try {
            alertes.evaluer(Platform::clock().now(), connecteDepuis);
        } catch (const ErreurBase &erreur) {
            qWarning("movendi-flotte: alertes non évaluées: %s", qPrintable(erreur.raison()));
        }
        Platform::clock().callAfter(qint64(r.passeAlertesSecondes) * 1000, passeAlertes);
    };
    Platform::clock().callAfter(qint64(r.passeAlertesSecondes) * 1000, passeAlertes);

    // The API and the pages, on the address configured (loopback by default: TLS comes from a
    // proxy).
    QHttpServer web;
    LectureFlotte lecture(
        *base, r.prefixe, [] { return Platform::clock().now(); },
        [&lien](const QString &sujet, const QByteArray &charge) {
            return lien.publier(sujet, charge, 1, false).has_value();
        });
    Sessions sessions;
    ApiFlotte api(*base, lecture, sessions, r.jeton);
    api.installer(web);
    PagesFlotte pages(lecture, sessions, [&base](const QString &nom, const QString &motDePasse) {
        return authentifierOperateur(*base, nom, motDePasse);
    });
    pages.installer(web);
    if (web.listen(QHostAddress(r.adresseWeb), quint16(r.portWeb)) == 0) {
        err << "erreur: l'adresse web " << r.adresseWeb << ':' << r.portWeb
            << " est prise ou invalide\n";
        return 1;
    }
    Platform::ServiceNotifier notifier;
    Platform::TerminationSignal fin;
    QObject::connect(&fin, &Platform::TerminationSignal::requested, qApp, &QCoreApplication::quit);
    lien.demarrer(r.mqtt);
    notifier.notifyReady();
    const int code = QCoreApplication::exec();
    notifier.notifyStopping();
    lien.arreter();
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("movendi-flotte"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    const QString action = !args.isEmpty() && !args.first().startsWith(QLatin1String("--"))
                               ? args.takeFirst()
                               : QString();
    const bool operateur = action == QLatin1String("operateur");
    if ((!action.isEmpty() && action != QLatin1String("init") && !operateur) ||
        args.size() != (operateur ? 3 : 2) || args.first() != QLatin1String("--config"))
        return usage(err);
    const LectureReglages lu = lireReglagesService(args.at(1));
    if (!lu.reglages) {
        err << "erreur: " << lu.erreur << '\n';
        return 1;
    }
    if (operateur)
        return definirOperateurDepuisEntree(*lu.reglages, args.at(2), out, err);
    return action.isEmpty() ? servir(*lu.reglages, err) : initialiser(*lu.reglages, out, err);
}
