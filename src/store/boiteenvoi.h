#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace Movendi::Store {

class StoreDatabase;

// The fleet's outbox (table BoiteEnvoi): each event for the operator's broker is written in the
// transaction of what it reports, so that a sale, a location's change or a remittance is never
// recorded without its event nor the other way round. Its number (seq) is never given twice:
// the last one is kept in the store and a reservation above it in a file beside the store
// (NOM.seq), which a restored backup does not bring back.
//
// Without a fleet nothing is written: the outbox is fed only while a BoiteEnvoiActivee lives.
// Each one is a run of the kiosk: its first event is numbered above the last reservation, as the
// store may have been restored from a backup since the run before.
class BoiteEnvoiActivee
{
public:
    // `ajoute` is called after each event written (inside the writer's transaction: a reader
    // should look on the next pass of the event loop).
    explicit BoiteEnvoiActivee(std::function<void()> ajoute = {});
    ~BoiteEnvoiActivee();
    BoiteEnvoiActivee(const BoiteEnvoiActivee &) = delete;
    BoiteEnvoiActivee &operator=(const BoiteEnvoiActivee &) = delete;

private:
    bool m_avant;
    std::function<void()> m_ajouteAvant;
};

// What a location holds, as a stock event tells it.
struct ContenuStock
{
    std::optional<qint64> reference; // none: the location is free
    QString imei;
    QString serie;
};

// What the location holds now (free when it has no reference); nothing is read while the outbox
// is off, as no event will tell it.
ContenuStock contenuStock(StoreDatabase &base, int noEmpl);

// Inside the caller's transaction; throws ErreurExecution like any write. Nothing when off.
// Returns the event's seq.
std::optional<qint64> ajouterEvenement(StoreDatabase &base, const QString &type,
                                       const QJsonObject &champs);
// The sale as recorded (lines, masked card), with the amount it came to.
std::optional<qint64> ajouterEvenementVente(StoreDatabase &base, qint64 numVente,
                                            qint64 montantCentimes);
// cause: "vente", "remplissage", "destockage" or "reprise".
std::optional<qint64> ajouterEvenementStock(StoreDatabase &base, int noEmpl, const QString &cause,
                                            const ContenuStock &contenu);

// An event in its own transaction. Never throws: an event the store refuses goes to the
// system log (the journal would raise an alarm, which would fail the same way). False then.
bool ajouterEvenementSeul(StoreDatabase &base, const QString &type, const QJsonObject &champs);
void ajouterAlarme(StoreDatabase &base, const QString &code, const QString &contexte,
                   const QString &message);

struct EvenementBoite
{
    qint64 seq = 0;
    QString horodatage; // UTC, ISO 8601 with a Z
    QString type;
    QJsonObject champs;
};

// The events waiting after `apres`, oldest first.
QList<EvenementBoite> lireBoiteEnvoi(StoreDatabase &base, qint64 apres, int limite);
// The events the broker acknowledged, in one transaction.
void retirerDeBoiteEnvoi(StoreDatabase &base, const QList<qint64> &seqs);

struct EtatBoiteEnvoi
{
    qint64 profondeur = 0;
    std::optional<EvenementBoite> plusAncien;
};
EtatBoiteEnvoi etatBoiteEnvoi(StoreDatabase &base);

// The message as published: the event's fields with "v", "kiosque", "seq", "id", "type" and
// "horodatage".
QByteArray chargeEvenement(const EvenementBoite &evenement, const QString &kiosque);

// A moment as the fleet writes it: UTC, ISO 8601 with a Z.
QString horodatageFlotte(const QDateTime &moment);

// How many seq numbers one write of the reservation file covers.
inline constexpr qint64 BlocReservationSeq = 100;
inline constexpr const char *CleSeqFlotte = "SeqFlotte";
inline constexpr const char *CleSeqReservee = "SeqReservee";

} // namespace Movendi::Store
