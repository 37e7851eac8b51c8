#include "flotte/commandesflotte.h"

#include "flotte/alarmesflotte.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/lienmqtt.h"
#include "state/disponibilite.h"
#include "store/etatkiosque.h"
#include "store/storedatabase.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Movendi::Flotte {

namespace {

const QString texteHorsService = QStringLiteral("hors-service");
const QString texteEnService = QStringLiteral("en-service");
const QString texteEtat = QStringLiteral("etat");

void journaliser(const QString &texte)
{
    Journal::JournaliserErreur(QLatin1String(AlarmesFlotte::ContexteFlotte), texte);
}

} // namespace

LectureCommande lireCommande(const QByteArray &charge)
{
    LectureCommande lu;
    QJsonParseError erreur;
    const QJsonDocument doc = QJsonDocument::fromJson(charge, &erreur);
    if (erreur.error != QJsonParseError::NoError || !doc.isObject()) {
        lu.refus = QStringLiteral("commande illisible (JSON attendu)");
        return lu;
    }
    const QJsonObject o = doc.object();
    const QJsonValue id = o.value(QStringLiteral("id"));
    if (!id.isString() || id.toString().isEmpty()) {
        lu.refus = QStringLiteral("commande sans id");
        return lu;
    }
    lu.id = id.toString();
    const QString nom = o.value(QStringLiteral("commande")).toString();
    if (nom == texteHorsService)
        lu.commande = Commande{lu.id, Commande::HorsService};
    else if (nom == texteEnService)
        lu.commande = Commande{lu.id, Commande::EnService};
    else if (nom == texteEtat)
        lu.commande = Commande{lu.id, Commande::Etat};
    else
        lu.refus = QStringLiteral("commande inconnue: \"%1\"").arg(nom.left(40));
    return lu;
}

CommandesFlotte::CommandesFlotte(Platform::LienMqtt &lien, Config::ReglagesFlotte reglages,
                                 OuvrirBase ouvrirBase, std::function<void()> publierEtat,
                                 QObject *parent)
    : QObject(parent), m_lien(lien), m_reglages(std::move(reglages)),
      m_sujetCommandes(m_reglages.sujet(QStringLiteral("commandes"))),
      m_ouvrirBase(std::move(ouvrirBase)), m_publierEtat(std::move(publierEtat))
{
    // The session is kept, and its subscription with it; asked again at each connection all
    // the same, for a broker that lost it.
    connect(&m_lien, &Platform::LienMqtt::connecte, this,
            [this] { m_lien.abonner(m_sujetCommandes, 1); });
    connect(&m_lien, &Platform::LienMqtt::recu, this, &CommandesFlotte::recu);
}

void CommandesFlotte::retablir()
{
    try {
        const std::unique_ptr<Store::StoreDatabase> base = m_ouvrirBase();
        if (Store::lireEtatKiosque(*base, QLatin1String(CleHorsService)) == QLatin1String("1")) {
            State::disponibilite().mettre(State::Indisponibilite::HorsServiceFlotte,
                                          QStringLiteral("commande hors-service"));
            journaliser(QStringLiteral("hors service depuis la commande reçue avant le "
                                       "redémarrage"));
        }
    } catch (const Journal::ErreurExecution &erreur) {
        journaliser(QStringLiteral("état de service non relu: ") + erreur.description());
    }
}

bool CommandesFlotte::garder(bool horsService, QString *raison)
{
    try {
        const std::unique_ptr<Store::StoreDatabase> base = m_ouvrirBase();
        Store::ecrireEtatKiosque(*base, QLatin1String(CleHorsService),
                                 horsService ? QStringLiteral("1") : QStringLiteral("0"));
        return true;
    } catch (const Journal::ErreurExecution &erreur) {
        *raison = erreur.description();
        return false;
    }
}

void CommandesFlotte::recu(const QString &sujet, const QByteArray &charge)
{
    if (sujet != m_sujetCommandes)
        return;
    const LectureCommande lu = lireCommande(charge);
    if (!lu.commande) {
        journaliser(
            QStringLiteral("commande refusée: %1 (%2 octets)").arg(lu.refus).arg(charge.size()));
        repondre(lu.id, false, lu.refus);
        return;
    }
    const Commande &c = *lu.commande;
    QString message;
    switch (c.nature) {
    case Commande::HorsService:
    case Commande::EnService: {
        const bool hors = c.nature == Commande::HorsService;
        QString raison;
        message = hors ? QStringLiteral("hors service après la vente en cours")
                       : QStringLiteral("en service");
        if (!garder(hors, &raison))
            message += QStringLiteral(" (non gardé au redémarrage: %1)").arg(raison);
        // The home screen shows it; a sale under way is not touched and finishes.
        if (hors)
            State::disponibilite().mettre(State::Indisponibilite::HorsServiceFlotte,
                                          QStringLiteral("commande hors-service"));
        else
            State::disponibilite().lever(State::Indisponibilite::HorsServiceFlotte);
        break;
    }
    case Commande::Etat:
        message = QStringLiteral("état publié");
        if (m_publierEtat)
            m_publierEtat();
        break;
    }
    journaliser(QStringLiteral("commande %1 (id %2): %3")
                    .arg(c.nature == Commande::HorsService ? texteHorsService
                         : c.nature == Commande::EnService ? texteEnService
                                                           : texteEtat,
                         c.id, message));
    repondre(c.id, true, message);
}

void CommandesFlotte::repondre(const QString &id, bool ok, const QString &message)
{
    const QJsonObject reponse{
        {QStringLiteral("id"), id.isEmpty() ? QJsonValue() : QJsonValue(id)},
        {QStringLiteral("resultat"), ok ? QStringLiteral("ok") : QStringLiteral("refuse")},
        {QStringLiteral("message"), message}};
    m_lien.publier(m_reglages.sujet(QStringLiteral("reponses")),
                   QJsonDocument(reponse).toJson(QJsonDocument::Compact), 1, false);
}

} // namespace Movendi::Flotte
