#include "flotte/serviceflotte.h"

#include "flotte/alarmesflotte.h"
#include "flotte/commandesflotte.h"
#include "flotte/emetteurflotte.h"
#include "flotte/presenceflotte.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/clock.h"
#include "platform/lienmqtt.h"
#include "platform/seams.h"
#include "store/boiteenvoi.h"
#include "store/etatkiosque.h"
#include "store/storedatabase.h"

namespace Movendi::Flotte {

namespace {

std::unique_ptr<Store::StoreDatabase> baseConfiguree()
{
    return std::make_unique<Store::StoreDatabase>();
}

// The orderly stop's and the start's event, in its own transaction.
void evenementVie(const char *type)
{
    try {
        Store::StoreDatabase base;
        Store::ajouterEvenementSeul(base, QLatin1String(type),
                                    {{QStringLiteral("version"), versionKiosque()}});
    } catch (const Journal::ErreurExecution &) {
        // No store: the kiosk's own start-up reports it.
    }
}

} // namespace

ServiceFlotte::ServiceFlotte(Platform::LienMqtt &lien, const QString &cheminIni)
    : m_lien(lien), m_cheminIni(cheminIni)
{
    m_actif = Config::lireReglagesFlotte(cheminIni, QString()).has_value();
    if (!m_actif)
        return;
    m_boite = std::make_unique<Store::BoiteEnvoiActivee>([this] {
        if (m_emetteur)
            m_emetteur->signaler();
    });
    m_alarmes = std::make_unique<AlarmesFlotte>(&baseConfiguree);
}

ServiceFlotte::~ServiceFlotte() = default;

void ServiceFlotte::demarrer(const QString &identiteMachine, SourcesEtat sources)
{
    if (!m_actif || m_demarre)
        return;
    std::optional<Config::ReglagesFlotte> reglages =
        Config::lireReglagesFlotte(m_cheminIni, identiteMachine);
    if (!reglages)
        return;
    m_demarre = true;
    m_emetteur = std::make_unique<EmetteurFlotte>(m_lien, *reglages, &baseConfiguree);
    EmetteurFlotte *emetteur = m_emetteur.get();
    if (!sources.fileAttente)
        sources.fileAttente = [emetteur] { return emetteur->fileAttente(); };
    m_etat = std::make_unique<EtatFlotte>(m_lien, *reglages, std::move(sources), &baseConfiguree);
    EtatFlotte *etat = m_etat.get();
    m_commandes = std::make_unique<CommandesFlotte>(m_lien, *reglages, &baseConfiguree,
                                                    [etat] { etat->publier(); });
    m_commandes->retablir();
    m_presence = std::make_unique<PresenceFlotte>(m_lien, std::move(*reglages));
    QObject::connect(&m_lien, &Platform::LienMqtt::connecte, m_emetteur.get(),
                     [this] { noterLien(true, {}); });
    QObject::connect(&m_lien, &Platform::LienMqtt::deconnecte, m_emetteur.get(),
                     [this](const QString &raison) { noterLien(false, raison); });
    noterLien(false, QStringLiteral("pas encore connecté"));
    evenementVie("demarrage");
    m_presence->demarrer();
}

void ServiceFlotte::noterLien(bool connecte, const QString &raison)
{
    // Once per change: a broker down for hours fails an attempt a minute.
    if (m_lienNote == connecte)
        return;
    const bool perdu = m_lienNote.value_or(false);
    m_lienNote = connecte;
    const QString depuis = Store::StoreDatabase::versBase(Platform::clock().now()).toString();
    try {
        Store::StoreDatabase base;
        Store::ecrireEtatKiosque(
            base, QLatin1String(CleLienFlotte),
            connecte ? QStringLiteral("connecté depuis ") + depuis
                     : QStringLiteral("déconnecté depuis %1: %2").arg(depuis, raison));
    } catch (const Journal::ErreurExecution &) {
        // Staff then read an older state; the store's own alarm says why.
    }
    if (perdu)
        Journal::JournaliserErreur(QLatin1String(AlarmesFlotte::ContexteFlotte),
                                   QStringLiteral("lien avec le courtier perdu: ") + raison);
}

void ServiceFlotte::changement()
{
    if (m_etat)
        m_etat->changement();
}

void ServiceFlotte::arreter()
{
    if (!m_demarre)
        return;
    evenementVie("arret");
    m_emetteur->vider(DelaiArretMs);
    m_presence->arreter();
    m_demarre = false;
}

} // namespace Movendi::Flotte
