#include "diagnostictpe.h"

#include "journaltemporaire.h"

#include "payment/demandestpe.h"
#include "payment/etatpaiement.h"
#include "payment/pontagetpvnew.h"
#include "payment/telecollecte.h"
#include "platform/filelookup.h"
#include "platform/serialline.h"
#include "startup/etatdemarrage.h"
#include "startup/fnkestrel.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextStream>

namespace Movendi::Admin {

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
    case 255:
        return QStringLiteral("terminal prêt, une carte est dans le lecteur");
    case 1:
        return QStringLiteral("terminal prêt, pas de carte dans le lecteur");
    case -400:
        return QStringLiteral("pas de ligne, liaison en échec ou état de carte inattendu");
    case -403:
        return QStringLiteral("sécurité activée (pin-pad ou lecteur hors service)");
    case -404:
        return QStringLiteral("activité à distance en cours (télécollecte ou téléparamétrage)");
    case -405:
        return QStringLiteral("terminal non disponible");
    }
    return QStringLiteral("résultat inconnu");
}

QString significationDemTC(int resultat)
{
    switch (resultat) {
    case 255:
        return QStringLiteral("télécollecte complète");
    case 1:
        return QStringLiteral("télécollecte incomplète");
    case -500:
        return QStringLiteral("le terminal ne répond pas");
    }
    return QStringLiteral("résultat inconnu");
}

QString significationDemTIC(int resultat)
{
    switch (resultat) {
    case 255:
        return QStringLiteral("compte rendu reçu");
    case 11:
        return QStringLiteral("télécollecte incomplète");
    case 2:
        return QStringLiteral("appel erroné ou inefficace");
    case 3:
        return QStringLiteral("pas d'appel");
    case 1:
        return QStringLiteral("autre échec");
    case -600:
        return QStringLiteral("pas de ligne");
    }
    return QStringLiteral("résultat inconnu");
}

int diagnostiquerTerminal(const QString &dossier, const QString &verification, QTextStream &out,
                          QTextStream &err)
{
    const bool statut = verification == QLatin1String("statut");
    if (!statut && verification != QLatin1String("telecollecte")) {
        err << "erreur: vérification inconnue \"" << verification
            << "\" (statut ou telecollecte)\n";
        return 64;
    }
    const std::optional<QString> nom =
        Platform::findFileNoCase(dossier, QStringLiteral("RURUDIZ.ini"));
    if (!nom) {
        err << "erreur: pas de configuration RURUDIZ.ini dans " << dossier << '\n';
        return 1;
    }
    const QString ini = QDir(dossier).filePath(*nom);
    Startup::EtatDemarrage &e = Startup::etat();
    e.dossierApplication = dossier;
    e.CheminIni = ini;
    e.PortTPE =
        Startup::LireIniInteger(ini, QStringLiteral("PortCom"), QStringLiteral("PortTPE"), 1);

    // The requests journal what they see; shown here, the kiosk's journal untouched.
    const JournalTemporaire journal;
    if (!journal.ouvert()) {
        err << "erreur: journal temporaire: " << journal.erreur() << '\n';
        return 1;
    }

    ConsoleDisplay display(out);
    Payment::EtatPaiement &paiement = Payment::etatPaiement();
    paiement.affichagePaiement = &display;
    paiement.affichageAccueil = &display;
    const auto restore = qScopeGuard([&paiement] {
        paiement.affichagePaiement = nullptr;
        paiement.affichageAccueil = nullptr;
        Payment::reinitialiserPaiement();
    });

    const QString device = Platform::serialDevicePath(e.PortTPE, ini);
    out << "terminal: port " << e.PortTPE << " (" << device << ")\n";
    out.flush();
    if (!Payment::OpenTerminalPort()) {
        err << "erreur: le port du terminal ne s'ouvre pas: " << paiement.echecOuverture << '\n';
        return 1;
    }

    int code = 0;
    if (statut) {
        const int resultat = Payment::DemSwi();
        journal.imprimer(out);
        out << "DemSwi: " << resultat << " (" << significationDemSwi(resultat) << ")\n";
        out << resultat << '\n';
        code = resultat == -400 ? 1 : 0;
    } else {
        out << "télécollecte demandée, le terminal appelle la banque...\n";
        out.flush();
        const int remise = Payment::DemTC(true);
        int rapport = 0;
        if (remise == 255) {
            rapport = Payment::DemTIC();
            out << printable(paiement.MerchantTicketText);
            if (!paiement.MerchantTicketText.endsWith(QLatin1String("\r\n")))
                out << '\n';
        }
        journal.imprimer(out);
        out << "DemTC: " << remise << " (" << significationDemTC(remise) << ")\n";
        if (remise == 255)
            out << "DemTIC: " << rapport << " (" << significationDemTIC(rapport) << ")\n";
        code = remise == -500 ? 1 : 0;
    }
    return code;
}

} // namespace Movendi::Admin
