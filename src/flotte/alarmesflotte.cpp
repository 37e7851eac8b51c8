#include "flotte/alarmesflotte.h"

#include "journal/erreur.h"
#include "platform/clock.h"
#include "platform/seams.h"
#include "store/boiteenvoi.h"
#include "store/storedatabase.h"

#include <QRegularExpression>

namespace Movendi::Flotte {

namespace {

struct Classe
{
    const char *code;
    QStringList contextes;
};

// By the routine that journals: each names its device or service.
const QList<Classe> &classes()
{
    static const QList<Classe> c{
        {"mecanisme", {"PiloterAutomate", "MiseAJourStock", "PosCol"}},
        {"terminal",
         {"make payment", "MakePayment", "Form_Activate FrmPayment", "EnregistrerTelecollecte",
          "EcouterDemarrage", "EcouterDemVAl", "EcouterDemEnr", "EcouterDemTC", "DemTIC",
          "OpenTerminalPort"}},
        {"imprimante", {"ImprimerTicket", "ImprimerContenueEmplacements"}},
        {"base",
         {"Magasin", "JournalVente", "OuvrirTables", "EnregistrerCommande", "AuditStock",
          "SauvegarderDatabase", "VerifierSauvegarde", "FnAcceuil", "ChargerCatalogue",
          "TimerControl"}},
        {"ftp", {"TransferFTP"}},
        {"mail", {"EnvoyerEmail", "EnvoyerEmailRapportCSV"}},
    };
    return c;
}

} // namespace

QString codeAlarme(const QString &contexte, const QString &erreur)
{
    if (contexte == QLatin1String(AlarmesFlotte::ContexteFlotte))
        return {};
    // A door that did not open, or whose state cannot be read, whoever reports it (a settled
    // sale that names the door it went through is no door fault).
    static const QRegularExpression porte(
        QStringLiteral("porte pas ouverte|(état|etat) de porte|trappe ne"),
        QRegularExpression::CaseInsensitiveOption);
    if (porte.match(erreur).hasMatch())
        return QStringLiteral("porte");
    for (const Classe &c : classes()) {
        if (c.contextes.contains(contexte, Qt::CaseInsensitive))
            return QLatin1String(c.code);
    }
    if (contexte.compare(QLatin1String("Main"), Qt::CaseInsensitive) == 0 &&
        erreur.contains(QLatin1String("base"), Qt::CaseInsensitive))
        return QStringLiteral("base");
    return QStringLiteral("journal");
}

AlarmesFlotte::AlarmesFlotte(OuvrirBase ouvrirBase) : m_ouvrirBase(std::move(ouvrirBase))
{
    m_avant = Journal::observerJournal(
        [this](const QString &contexte, const QString &erreur) { noter(contexte, erreur); });
}

AlarmesFlotte::~AlarmesFlotte()
{
    Journal::observerJournal(std::move(m_avant));
    if (m_passe)
        Platform::clock().cancel(m_passe);
}

void AlarmesFlotte::noter(const QString &contexte, const QString &erreur)
{
    const QString code = codeAlarme(contexte, erreur);
    if (code.isEmpty())
        return;
    if (m_enAttente.size() >= AttenteMax)
        m_enAttente.removeFirst();
    m_enAttente << Alarme{code, contexte, erreur};
    if (!m_passe)
        m_passe = Platform::clock().callAfter(0, [this] {
            m_passe = 0;
            ecrire();
        });
}

void AlarmesFlotte::ecrire()
{
    if (m_enAttente.isEmpty())
        return;
    std::unique_ptr<Store::StoreDatabase> base;
    try {
        base = m_ouvrirBase();
    } catch (const Journal::ErreurExecution &erreur) {
        // Kept for the next record's pass; the journal holds them anyway.
        Journal::journalSysteme(QStringLiteral("flotte: %1 alarme(s) en attente: %2")
                                    .arg(m_enAttente.size())
                                    .arg(erreur.description()));
        return;
    }
    const QList<Alarme> alarmes = std::exchange(m_enAttente, {});
    for (const Alarme &a : alarmes)
        Store::ajouterAlarme(*base, a.code, a.contexte, a.message);
}

} // namespace Movendi::Flotte
