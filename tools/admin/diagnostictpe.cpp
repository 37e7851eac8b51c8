#include "diagnostictpe.h"

#include "argumentscommande.h"
#include "journaltemporaire.h"
#include "verroukiosque.h"

#include "config/fnkestrel.h"
#include "payment/demandestpe.h"
#include "payment/etatpaiement.h"
#include "payment/pontagetpvnew.h"
#include "payment/resultatstpe.h"
#include "platform/filelookup.h"
#include "platform/serialline.h"
#include "startup/liaisonpaiement.h"
#include "state/etatdemarrage.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextStream>

namespace Movendi::Admin {

namespace R = Payment::Resultat;

namespace {

// Shows the terminal's display on the console, for the technician standing at the kiosk.
class ConsoleDisplay final : public Payment::AffichageClient
{
public:
    explicit ConsoleDisplay(QTextStream &out) : m_out(out) {}
    void montrer() override {}
    void afficher(const QString &lignes) override
    {
        m_out << "écran: " << QString(lignes).replace(QLatin1Char('\n'), QLatin1String(" | "))
              << '\n';
        m_out.flush();
    }
    void cacher() override {}

private:
    QTextStream &m_out;
};

QString printable(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

} // namespace

QString significationDemSwi(int resultat)
{
    switch (resultat) {
    case R::Ok:
        return QStringLiteral("terminal prêt, une carte est dans le lecteur");
    case R::SansCarte:
        return QStringLiteral("terminal prêt, pas de carte dans le lecteur");
    case R::StatutSansLigne:
        return QStringLiteral("pas de ligne, liaison en échec ou état de carte inattendu");
    case R::SecuriteActivee:
        return QStringLiteral("sécurité activée (pin-pad ou lecteur hors service)");
    case R::ActiviteDistante:
        return QStringLiteral("activité à distance en cours (télécollecte ou téléparamétrage)");
    case R::TerminalIndisponible:
        return QStringLiteral("terminal non disponible");
    }
    return QStringLiteral("résultat inconnu");
}

QString significationDemTC(int resultat)
{
    switch (resultat) {
    case R::Ok:
        return QStringLiteral("télécollecte complète");
    case R::TelecollecteIncomplete:
        return QStringLiteral("télécollecte incomplète ou sans réponse");
    case R::TelecollecteSansLigne:
        return QStringLiteral("le terminal ne répond pas");
    }
    return QStringLiteral("résultat inconnu");
}

QString significationDemTIC(int resultat)
{
    switch (resultat) {
    case R::Ok:
        return QStringLiteral("compte rendu reçu");
    case R::RapportTelecollecteIncomplete:
        return QStringLiteral("télécollecte incomplète");
    case R::RapportAppelErrone:
        return QStringLiteral("appel erroné ou inefficace");
    case R::RapportSansAppel:
        return QStringLiteral("pas d'appel");
    case R::RapportEchec:
        return QStringLiteral("autre échec");
    case R::RapportSansLigne:
        return QStringLiteral("pas de ligne");
    }
    return QStringLiteral("résultat inconnu");
}

int diagnostiquerTerminal(const QString &dossier, const QString &verification, QTextStream &out,
                          QTextStream &err, int attenteTour)
{
    const bool statut = verification == QLatin1String("statut");
    if (!statut && verification != QLatin1String("telecollecte")) {
        err << "erreur: vérification inconnue \"" << verification
            << "\" (statut ou telecollecte)\n";
        return 64;
    }
    if (!pointerDossier(dossier, err))
        return 1;
    // One exchange at a time on the terminal's line: not beside a running kiosk.
    VerrouKiosque verrou(dossier);
    if (!verrou.prendre(err, QStringLiteral("interroger le terminal")))
        return 1;
    State::EtatDemarrage &e = State::etat();
    e.PortTPE = Config::LireIniInteger(e.CheminIni, QStringLiteral("PortCom"),
                                       QStringLiteral("PortTPE"), 1);

    // The requests journal what they see; shown here, the kiosk's journal untouched.
    const JournalTemporaire journal;
    if (!journal.ouvert()) {
        err << "erreur: journal temporaire: " << journal.erreur() << '\n';
        return 1;
    }

    ConsoleDisplay display(out);
    Payment::LiaisonTerminal terminal(Startup::environnementTerminal());
    terminal.installerAffichages(&display, &display);
    Payment::EtatPaiement &paiement = terminal.etat();

    const QString device = Platform::serialDevicePath(e.PortTPE, e.CheminIni);
    out << "terminal: port " << e.PortTPE << " (" << device << ")\n";
    out.flush();
    if (!terminal.OpenTerminalPort()) {
        err << "erreur: le port du terminal ne s'ouvre pas: " << terminal.echecOuverture() << '\n';
        return 1;
    }

    int code = 0;
    if (statut) {
        const int resultat = terminal.DemSwi();
        journal.imprimer(out);
        out << "DemSwi: " << resultat << " (" << significationDemSwi(resultat) << ")\n";
        out << resultat << '\n';
        code = resultat == R::StatutSansLigne ? 1 : 0;
    } else {
        out << "télécollecte demandée, le terminal appelle la banque (son tour attendu "
            << attenteTour << " s au plus)...\n";
        out.flush();
        const int remise = terminal.DemTC(true, attenteTour);
        int rapport = 0;
        if (remise == R::Ok) {
            rapport = terminal.DemTIC();
            out << printable(paiement.MerchantTicketText);
            if (!paiement.MerchantTicketText.endsWith(QLatin1String("\r\n")))
                out << '\n';
        }
        journal.imprimer(out);
        out << "DemTC: " << remise << " (" << significationDemTC(remise) << ")\n";
        if (remise == R::Ok)
            out << "DemTIC: " << rapport << " (" << significationDemTIC(rapport) << ")\n";
        // Only a remittance and its report both received count as done.
        code = remise == R::Ok && rapport == R::Ok ? 0 : 1;
    }
    return code;
}

namespace {

int executerTpe(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString option = QStringLiteral("--attente");
    const ArgumentsCommande a(arguments, {option}, {}, 2, 2);
    if (!a.valides(err))
        return ErreurUsage;
    int attente = Payment::AttenteTourTelecollecte;
    if (a.presente(option)) {
        bool ok = false;
        attente = a.option(option).toInt(&ok);
        if (!ok || attente < 1 || a.valeur(1) != QLatin1String("telecollecte")) {
            err << "erreur: --attente attend un nombre de secondes positif, pour telecollecte\n";
            return ErreurUsage;
        }
    }
    return diagnostiquerTerminal(a.dossier(), a.valeur(1), out, err, attente);
}

} // namespace

const Commande CommandeTpe = {
    "tpe",
    "tpe DOSSIER statut|telecollecte [--attente SECONDES]",
    "interroge le terminal de paiement, ou lui fait faire sa télécollecte",
    "Parle au terminal de paiement que configure DOSSIER (port PortTPE de la section PortCom),\n"
    "sans rien enregistrer dans le dossier: ce que les requêtes journaliseraient est affiché.\n"
    "\n"
    "  statut         demande son état au terminal et affiche le résultat avec sa\n"
    "                 signification (le nombre seul en dernière ligne)\n"
    "  telecollecte   fait remettre ses transactions par le terminal puis affiche le compte\n"
    "                 rendu de télécollecte et les deux résultats\n"
    "\n"
    "Options:\n"
    "  --attente SECONDES   attente maximale du tour du terminal pour la télécollecte (900 s\n"
    "                       par défaut)\n"
    "\n"
    "Statut: 0 le terminal a répondu (telecollecte: remise et compte rendu réussis), 1 sinon ou\n"
    "dossier inutilisable, 64 usage.\n",
    executerTpe,
};

} // namespace Movendi::Admin
