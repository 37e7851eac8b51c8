#include "commandeflotte.h"

#include "argumentscommande.h"
#include "verroukiosque.h"

#include "config/clesconfiguration.h"
#include "config/reglagesflotte.h"
#include "flotte/emetteurflotte.h"
#include "flotte/serviceflotte.h"
#include "journal/erreur.h"
#include "money/monnaie.h"
#include "platform/clock.h"
#include "platform/lienmosquitto.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"
#include "store/boiteenvoi.h"
#include "store/etatkiosque.h"
#include "store/rapprochement.h"
#include "store/storedatabase.h"

#include <QTextStream>

namespace Movendi::Admin {

namespace {

// Past this, an event that waits means the link is broken: the command fails.
constexpr qint64 AttenteMaxS = 3600;
// "envoyer" ends within this, connected or not.
constexpr qint64 DelaiEnvoyerMs = 30000;

std::optional<Config::ReglagesFlotte> reglages()
{
    const QString ini = State::etat().CheminIni;
    return Config::lireReglagesFlotte(
        ini, Config::lireCle(ini, QStringLiteral("Machine"), QStringLiteral("Indentité Machine")));
}

QString duree(qint64 secondes)
{
    if (secondes < 120)
        return QStringLiteral("%1 s").arg(secondes);
    if (secondes < 7200)
        return QStringLiteral("%1 min").arg(secondes / 60);
    return QStringLiteral("%1 h").arg(secondes / 3600);
}

// Prints the outbox; true when nothing has waited past AttenteMaxS.
bool afficherBoite(Store::StoreDatabase &base, QTextStream &out)
{
    const Store::EtatBoiteEnvoi boite = Store::etatBoiteEnvoi(base);
    out << "Boîte d'envoi: " << boite.profondeur << " événement(s) en attente\n";
    if (!boite.plusAncien)
        return true;
    const Store::EvenementBoite &e = *boite.plusAncien;
    const QDateTime depuis = QDateTime::fromString(e.horodatage, Qt::ISODate);
    const qint64 attente = depuis.isValid() ? depuis.secsTo(Platform::clock().now()) : 0;
    out << "  le plus ancien: seq " << e.seq << " (" << e.type << ") du " << e.horodatage
        << ", en attente depuis " << duree(attente) << '\n';
    if (attente > AttenteMaxS) {
        out << "  <- en attente depuis plus d'une heure: le courtier ne reçoit plus rien\n";
        return false;
    }
    return true;
}

int envoyer(const QString &dossier, const Config::ReglagesFlotte &r, QTextStream &out,
            QTextStream &err)
{
    // The kiosk's session is the kiosk's: taken only while it is stopped.
    VerrouKiosque verrou(dossier);
    if (!verrou.prendre(err, QStringLiteral("envoyer la boîte d'envoi")))
        return Echec;
    const QString fichier = Store::StoreDatabase().fichier();
    Platform::LienMosquitto lien;
    Flotte::EmetteurFlotte emetteur(
        lien, r, [fichier] { return std::make_unique<Store::StoreDatabase>(fichier); });
    const qint64 avant = emetteur.fileAttente().value_or(0);
    lien.demarrer(r.lien);
    const bool vide = emetteur.vider(DelaiEnvoyerMs);
    const qint64 apres = emetteur.fileAttente().value_or(avant);
    if (lien.etat() == Platform::EtatLienMqtt::Connecte)
        lien.arreter();
    out << "envoyés: " << (avant - apres) << " événement(s), " << apres << " en attente\n";
    if (!vide) {
        err << "erreur: boîte d'envoi non vidée en " << DelaiEnvoyerMs / 1000 << " s"
            << (lien.derniereErreur().isEmpty() ? QString()
                                                : QStringLiteral(": ") + lien.derniereErreur())
            << '\n';
        return Echec;
    }
    return Reussite;
}

int executerFlotte(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {}, {}, 1, 2);
    if (!a.valides(err))
        return ErreurUsage;
    const bool doitEnvoyer = a.valeur(1) == QLatin1String("envoyer");
    if (!a.valeur(1).isEmpty() && !doitEnvoyer) {
        err << "erreur: action inconnue: " << a.valeur(1) << '\n';
        return ErreurUsage;
    }
    if (!pointerDossier(a.dossier(), err))
        return Echec;
    const std::optional<Config::ReglagesFlotte> r = reglages();
    if (!r) {
        out << "Flotte: aucune (section Flotte sans Serveur)\n";
        return doitEnvoyer ? Echec : Reussite;
    }
    out << "Flotte: courtier " << r->lien.serveur << ':' << r->lien.port
        << (r->lien.ca.isEmpty() ? " (sans TLS)" : " (TLS)") << ", kiosque " << r->kiosque
        << ", sujets " << r->sujet(QStringLiteral("...")) << '\n';
    try {
        Store::StoreDatabase base;
        out << "Lien du kiosque: "
            << Store::lireEtatKiosque(base, QLatin1String(Flotte::ServiceFlotte::CleLienFlotte))
                   .value_or(QStringLiteral("jamais démarré"))
            << '\n';
        if (doitEnvoyer)
            return envoyer(a.dossier(), *r, out, err);
        return afficherBoite(base, out) ? Reussite : Echec;
    } catch (const Journal::ErreurExecution &erreur) {
        err << "erreur: " << erreur.description() << '\n';
        return Echec;
    }
}

QString euros(qint64 centimes)
{
    return Money::Monnaie::depuisCentimes(centimes).texteCentimes();
}

int executerRapprochement(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {QStringLiteral("--jours")}, {}, 1, 1);
    if (!a.valides(err))
        return ErreurUsage;
    bool nombre = true;
    const int jours = a.presente(QStringLiteral("--jours"))
                          ? a.option(QStringLiteral("--jours")).toInt(&nombre)
                          : 30;
    if (!nombre || jours < 1) {
        err << "erreur: --jours attend un nombre de jours (1 ou plus)\n";
        return ErreurUsage;
    }
    if (!pointerDossier(a.dossier(), err))
        return Echec;
    try {
        Store::StoreDatabase base;
        const QList<Store::LigneRapprochement> lignes = Store::rapprochement(
            base, QDateTime(Platform::clock().now().date().addDays(-jours), QTime(0, 0)));
        out << "Remises des " << jours << " dernier(s) jour(s): " << lignes.size() << '\n';
        int ecarts = 0;
        for (const Store::LigneRapprochement &l : lignes) {
            out << "  " << l.remise.date.toString(QStringLiteral("dd/MM/yyyy HH:mm")) << "  remise "
                << l.remise.noRemise << ": terminal "
                << (l.remise.nbTransactions ? QString::number(*l.remise.nbTransactions)
                                            : QStringLiteral("?"))
                << " transaction(s) " << euros(l.remise.montantCentimes) << " EUR, kiosque "
                << l.local.nbDebits << " débit(s) " << euros(l.local.montantCentimes) << " EUR"
                << (l.ecart ? "  <- écart" : "  ok") << '\n';
            for (const Store::VenteAVerifier &v : l.aVerifier)
                out << "      vente " << v.numVente << " du "
                    << v.date.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) << ", "
                    << euros(v.montantCentimes) << " EUR, débit à vérifier"
                    << (l.expliqueParAVerifier ? ": débitée (la remise l'explique)" : "") << '\n';
            if (l.ecart && !l.expliqueParAVerifier)
                ++ecarts;
        }
        if (ecarts > 0)
            out << ecarts << " remise(s) avec un écart inexpliqué\n";
        return ecarts == 0 ? Reussite : Echec;
    } catch (const Journal::ErreurExecution &erreur) {
        err << "erreur: " << erreur.description() << '\n';
        return Echec;
    }
}

} // namespace

const Commande CommandeFlotte = {
    "flotte",
    "flotte DOSSIER [envoyer]",
    "affiche le lien avec le courtier de la flotte et la boîte d'envoi; envoie ce qui attend",
    "Affiche le courtier de la section Flotte de RURUDIZ.ini, l'état du lien tel que le kiosque\n"
    "l'a noté (connecté ou déconnecté depuis quand, et pourquoi), le nombre d'événements de la\n"
    "boîte d'envoi que le courtier n'a pas encore acquittés, et le plus ancien.\n"
    "\n"
    "envoyer: le kiosque arrêté, publie ce qui attend sur la session du kiosque et efface ce que\n"
    "le courtier acquitte; s'arrête au plus tard après 30 secondes.\n"
    "\n"
    "Statut: 0 rien n'attend depuis plus d'une heure (envoyer: tout est parti), 1 un événement\n"
    "attend depuis plus d'une heure, base illisible ou envoi incomplet, 64 usage.\n",
    executerFlotte,
};

const Commande CommandeRapprochement = {
    "rapprochement",
    "rapprochement DOSSIER [--jours N]",
    "rapproche chaque télécollecte des débits enregistrés par le kiosque",
    "Pour chaque télécollecte des N derniers jours (30 par défaut): ce que le terminal a remis\n"
    "(nombre de transactions et montant) et les débits acceptés que le kiosque a enregistrés\n"
    "depuis la télécollecte précédente. Les ventes à vérifier (StatutDebit 2: débit envoyé, sa\n"
    "réponse perdue) de la période sont listées; quand elles font tout l'écart, la remise\n"
    "montre qu'elles ont été débitées.\n"
    "\n"
    "Statut: 0 aucun écart inexpliqué, 1 écart inexpliqué ou base illisible, 64 usage.\n",
    executerRapprochement,
};

} // namespace Movendi::Admin
