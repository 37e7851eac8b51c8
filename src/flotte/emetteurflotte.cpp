#include "flotte/emetteurflotte.h"

#include "flotte/alarmesflotte.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/clock.h"
#include "platform/lienmqtt.h"
#include "platform/seams.h"
#include "store/boiteenvoi.h"
#include "store/storedatabase.h"

#include <utility>

namespace Movendi::Flotte {

EmetteurFlotte::EmetteurFlotte(Platform::LienMqtt &lien, Config::ReglagesFlotte reglages,
                               OuvrirBase ouvrirBase, QObject *parent)
    : QObject(parent), m_lien(lien), m_reglages(std::move(reglages)),
      m_sujet(m_reglages.sujet(QStringLiteral("evenements"))), m_ouvrirBase(std::move(ouvrirBase))
{
    connect(&m_lien, &Platform::LienMqtt::connecte, this, [this] {
        reprendreDuDebut();
        planifier();
    });
    connect(&m_lien, &Platform::LienMqtt::deconnecte, this, [this] { reprendreDuDebut(); });
    connect(&m_lien, &Platform::LienMqtt::acquitte, this, &EmetteurFlotte::acquitte);
}

EmetteurFlotte::~EmetteurFlotte()
{
    if (m_passe)
        Platform::clock().cancel(m_passe);
}

void EmetteurFlotte::signaler()
{
    planifier();
}

void EmetteurFlotte::planifier()
{
    if (m_passe)
        return;
    m_passe = Platform::clock().callAfter(0, [this] {
        m_passe = 0;
        passe();
    });
}

void EmetteurFlotte::reprendreDuDebut()
{
    // A new session of libmosquitto holds nothing of the old one's messages: the outbox does.
    m_enVol.clear();
    m_curseur = 0;
}

Store::StoreDatabase *EmetteurFlotte::base()
{
    if (!m_base)
        m_base = m_ouvrirBase();
    return m_base.get();
}

void EmetteurFlotte::echecBase(const QString &quoi, const QString &raison)
{
    m_base.reset();
    if (m_baseEnEchec)
        return;
    m_baseEnEchec = true;
    Journal::JournaliserErreur(QLatin1String(AlarmesFlotte::ContexteFlotte),
                               quoi + QStringLiteral(": ") + raison);
}

void EmetteurFlotte::acquitte(int idMessage)
{
    const auto it = m_enVol.find(idMessage);
    if (it == m_enVol.end())
        return; // the presence, the state or an answer
    m_acquittes << it->second;
    m_enVol.erase(it);
    planifier();
}

void EmetteurFlotte::passe()
{
    // The acknowledged go in one transaction: one sync for many events. A store that refuses
    // it (a full disk) keeps them, and they are tried again on the next pass; meanwhile the
    // rest still goes, and a reconnection may send them again.
    if (!m_acquittes.isEmpty()) {
        try {
            Store::retirerDeBoiteEnvoi(*base(), m_acquittes);
            m_acquittes.clear();
        } catch (const Journal::ErreurExecution &erreur) {
            echecBase(QStringLiteral("boîte d'envoi non écrite"), erreur.description());
        }
    }
    if (m_lien.etat() != Platform::EtatLienMqtt::Connecte)
        return;
    try {
        while (int(m_enVol.size()) < Fenetre) {
            const QList<Store::EvenementBoite> evenements =
                Store::lireBoiteEnvoi(*base(), m_curseur, Fenetre - int(m_enVol.size()));
            if (evenements.isEmpty())
                break;
            for (const Store::EvenementBoite &e : evenements) {
                const std::optional<int> id = m_lien.publier(
                    m_sujet, Store::chargeEvenement(e, m_reglages.kiosque), 1, false);
                if (!id)
                    return; // the link went down: the next connection starts again
                m_enVol[*id] = e.seq;
                m_curseur = e.seq;
            }
        }
        if (m_baseEnEchec && m_acquittes.isEmpty()) {
            m_baseEnEchec = false;
            Journal::JournaliserErreur(QLatin1String(AlarmesFlotte::ContexteFlotte),
                                       QStringLiteral("boîte d'envoi de nouveau accessible"));
        }
    } catch (const Journal::ErreurExecution &erreur) {
        // Tried again at the next event, state or connection.
        echecBase(QStringLiteral("boîte d'envoi illisible"), erreur.description());
    }
}

std::optional<qint64> EmetteurFlotte::fileAttente()
{
    try {
        return Store::etatBoiteEnvoi(*base()).profondeur;
    } catch (const Journal::ErreurExecution &erreur) {
        echecBase(QStringLiteral("boîte d'envoi illisible"), erreur.description());
        return std::nullopt;
    }
}

bool EmetteurFlotte::vider(qint64 delaiMs)
{
    Platform::Clock &horloge = Platform::clock();
    const qint64 fin = horloge.monotonicMs() + delaiMs;
    planifier();
    for (;;) {
        if (m_enVol.empty() && m_acquittes.isEmpty() &&
            m_lien.etat() == Platform::EtatLienMqtt::Connecte) {
            const std::optional<qint64> reste = fileAttente();
            if (reste && *reste == 0)
                return true;
            planifier();
        }
        const qint64 restant = fin - horloge.monotonicMs();
        if (restant <= 0)
            return false;
        horloge.processEventsFor(std::min<qint64>(restant, 50));
    }
}

} // namespace Movendi::Flotte
