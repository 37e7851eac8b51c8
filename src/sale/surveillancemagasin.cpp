#include "sale/surveillancemagasin.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/kiosktimer.h"
#include "sale/journalvente.h"
#include "sale/postevente.h"
#include "sale/rapportexploitant.h"
#include "sale/reprisevente.h"
#include "state/disponibilite.h"
#include "state/gardes.h"
#include "store/etatkiosque.h"
#include "store/storedatabase.h"

namespace Movendi::Sale {

using State::disponibilite;
using State::Indisponibilite;

namespace {

const QString contexteMagasin = QStringLiteral("Magasin");
const QString sujetHorsService = QStringLiteral("Kiosque hors service DA Telephone mobile");

} // namespace

SurveillanceMagasin::SurveillanceMagasin(PosteVente &poste, QObject *parent)
    : QObject(parent), m_poste(poste), m_timer(new Platform::KioskTimer(this))
{
    m_timer->setInterval(RelanceMs);
    connect(m_timer, &Platform::KioskTimer::timeout, this, [this] { essayer(); });
}

SurveillanceMagasin::~SurveillanceMagasin() = default;

bool SurveillanceMagasin::verifier(QString *raison)
{
    QString pourquoi;
    // Without its file the journal is off; a file there that refuses writes hides every fault.
    if (Journal::journalPresent() && !Journal::journalInscriptible(&pourquoi)) {
        *raison = QStringLiteral("journal d'erreurs non inscriptible: ") + pourquoi;
        Journal::journalSysteme(*raison);
        return false;
    }
    try {
        // A store made writable again is not seen through a connection opened read-only.
        m_poste.fermerBase();
        Store::verifierEcriture(m_poste.base());
    } catch (const Journal::ErreurExecution &erreur) {
        *raison = QStringLiteral("base de donnée non inscriptible: ") + erreur.description();
        return false;
    }
    if (!reprendreVentesInterrompues(m_poste)) {
        *raison = QStringLiteral("vente interrompue non réglée (journal de vente non écrit)");
        return false;
    }
    return true;
}

bool SurveillanceMagasin::verifierAuDemarrage()
{
    QString raison;
    if (verifier(&raison))
        return true;
    signalerEchec(raison);
    return false;
}

void SurveillanceMagasin::signalerEchec(const QString &raison)
{
    if (!disponibilite().contient(Indisponibilite::MagasinNonInscriptible)) {
        const QString texte = QStringLiteral("kiosque hors service: ") + raison;
        Journal::JournaliserErreur(contexteMagasin, texte);
        envoyerRapportExploitant(sujetHorsService, texte);
    }
    disponibilite().mettre(Indisponibilite::MagasinNonInscriptible, raison);
    if (!m_timer->isActive())
        m_timer->start();
}

bool SurveillanceMagasin::essayer()
{
    if (!disponibilite().contient(Indisponibilite::MagasinNonInscriptible)) {
        m_timer->stop();
        return true;
    }
    // The settling uses the terminal and the store's connection of the sale.
    if (!State::terminalLibre())
        return false;
    QString raison;
    if (!verifier(&raison)) {
        disponibilite().mettre(Indisponibilite::MagasinNonInscriptible, raison);
        return false;
    }
    m_timer->stop();
    disponibilite().lever(Indisponibilite::MagasinNonInscriptible);
    Journal::JournaliserErreur(contexteMagasin,
                               QStringLiteral("base de donnée de nouveau inscriptible, kiosque "
                                              "remis en service"));
    return true;
}

} // namespace Movendi::Sale
