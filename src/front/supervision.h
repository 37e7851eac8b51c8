#pragma once

#include "money/monnaie.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace Movendi::Payment {
class LiaisonTerminal;
}
namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Front {

// "EXEC ControlVente " and the period in days (IntervalControl x 0.042, with a point).
QString commandeControleVente(int intervalControl);
// The activity alarm's body.
QString corpsAlerteActivite(const QString &localisation, int intervalControl);

// What EnregistrerTelecollecte reads in a remittance print-out.
struct LectureTelecollecte
{
    qint64 noRemise = 0;
    std::optional<int> nbTransaction; // empty when "Nb Transaction" is not in it
    Money::Monnaie montant;
    bool montantLu = false; // "MONTANT" followed by "EUR" and a number
};
LectureTelecollecte lireTelecollecte(const QString &impression);

// The home screen's supervision while the kiosk waits: the hourly activity check and the
// nightly remittance, record, backup and reports.
class Supervision
{
public:
    // Everything the supervision does outside itself, so that a test can watch it.
    struct Actions
    {
        std::function<Store::StoreDatabase *()> base; // the home screen's connection
        std::function<void()> arreterVideo;
        std::function<void()> lancerVideo;
        std::function<void(const QString &sujet, const QString &corps)> envoyerEmail;
        std::function<int(bool)> demTC;
        std::function<int()> demTIC;
        std::function<void()> sauvegarderDatabase;
        std::function<bool()> jourRapportFinDeMois;
        std::function<bool()> jourRapportDebutDeMois;
        std::function<void()> exportCsv;
        std::function<void()> rapportBordereauxRemiseBancaire;
    };
    // The kiosk's own routines for each action not given; the remittance on that terminal link,
    // whose print-out EnregistrerTelecollecte records.
    Supervision(Actions actions, Payment::LiaisonTerminal &terminal);

    // A tick of TimerControl (every 60 seconds): the check runs at every 60th.
    void tickControl();
    // The nightly run, at the first call inside the remittance window each day.
    void VerifierSauvegarde();
    // Records the remittance from the print-out MerchantTicketText.
    void EnregistrerTelecollecte();

    std::int16_t compteurHeures() const { return m_compteurHeures; }
    // The day of the last nightly run, as the store keeps it (read once).
    QDate DernierJourTelecollecte();

private:
    void controlerActivite();
    void noterJourTelecollecte(const QDate &jour);

    Actions m_actions;
    Payment::LiaisonTerminal &m_terminal;
    std::int16_t m_compteurHeures = 0;
    QDate m_dernierJourTelecollecte;
    bool m_dernierJourLu = false;
};

} // namespace Movendi::Front
