#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>

namespace Movendi::Backoffice {

class ConnexionPg;

// What the API and the pages show of the fleet, read from the database, and the commands they
// send. Each call throws ErreurBase when the database does not answer. Days are the server's
// local days.
class LectureFlotte
{
public:
    using Horloge = std::function<QDateTime()>;
    // Publishes a command on the broker (QoS 1); false when the link is down.
    using Publier = std::function<bool(const QString &sujet, const QByteArray &charge)>;

    LectureFlotte(ConnexionPg &base, QString prefixe, Horloge maintenant, Publier publier);

    // One row per kiosk: kiosque, presence, derniereVue, enService, ventesJour,
    // montantJourCentimes, alertesOuvertes.
    QJsonArray kiosques();
    // One kiosk: its presence, stock, free locations, latest sales, remittances, alarms and
    // commands with their answers; none for a kiosk never heard of.
    std::optional<QJsonObject> kiosque(const QString &nom);
    // The open alerts, or all of them (the latest 1 000).
    QJsonArray alertes(bool toutes);

    enum class Commande { Envoyee, Inconnue, KiosqueInconnu, CourtierInjoignable };
    struct Envoi
    {
        Commande resultat = Commande::Inconnue;
        QString id;
    };
    static bool commandeConnue(const QString &commande);
    // Publishes the command to the kiosk and keeps it, with who sent it.
    Envoi commander(const QString &nom, const QString &commande, const QString &par);

    QDateTime maintenant() const { return m_maintenant(); }

private:
    ConnexionPg &m_base;
    const QString m_prefixe;
    Horloge m_maintenant;
    Publier m_publier;
};

// The start of a local day, as the database compares it.
QString debutJour(const QDate &jour);
// A time stamp as the API gives it (UTC, ISO 8601), null for none.
QJsonValue horodatageJson(const QVariant &v);

} // namespace Movendi::Backoffice
