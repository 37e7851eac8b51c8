#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace Movendi::Backoffice {

class ConnexionPg;

// When the alerts open, as [Alertes] sets it.
struct ReglesAlertes
{
    int rappelMinutes = 60;
    int horsLigneMinutes = 3;
    int aucuneVenteHeures = 24;
    int stockBas = 2;
};

// One mail about an alert: its opening, a reminder, or its end ("rétabli").
struct MailAlerte
{
    enum Nature { Ouverture, Rappel, Retablie };
    Nature nature = Ouverture;
    QString kiosque;
    QString sujet;
    QString detail;
    QString objet() const;
    QString corps() const;
};

// The fleet's alerts, each per kiosk and subject: hors-ligne, aucune-vente, porte, stock-bas
// (per reference: "stock-bas:REF"), plein ("plein:telephones", "plein:recharges"),
// non-debitee, a-verifier, ecart-remise, base, journal. Each pass compares what holds now in the
// database with the alerts open: an alert opens once (mailed), is reminded at most every
// rappelMinutes while it holds, and closes (mailed "rétabli") once it no longer does.
//
// Silence is measured from when the service itself last connected to the broker: a broker or
// service restart, or a whole fleet reconnecting, opens nothing that was not true; while the
// service is cut off from the broker no kiosk is judged on its silence.
class Alertes
{
public:
    using Envoi = std::function<void(const MailAlerte &)>;

    Alertes(ConnexionPg &base, ReglesAlertes regles, Envoi envoi);

    // One pass at `maintenant`; `connecteDepuis`: since when the service's link to the broker
    // is up, none while it is down. Throws ErreurBase.
    void evaluer(const QDateTime &maintenant, const std::optional<QDateTime> &connecteDepuis);

private:
    ConnexionPg &m_base;
    const ReglesAlertes m_regles;
    Envoi m_envoi;
};

} // namespace Movendi::Backoffice
