#pragma once

#include "alertes/alertes.h"
#include "reglages/reglagesservice.h"

#include <QString>

#include <deque>
#include <functional>
#include <memory>

namespace Movendi::Mail {
class Email;
}

namespace Movendi::Backoffice {

// Mails the alerts, one after the other, each to every recipient, from the event loop: the
// alerts pass only posts them. A mail the server refuses, or does not finish within the mail
// control's limits, is reported and dropped; the next one goes on. Without a server nothing is
// sent and each mail is reported as such.
class CourrierAlertes
{
public:
    using Rapport = std::function<void(const QString &)>;
    // More mails than this waiting (a whole fleet going down with a dead mail server) and the
    // newest are dropped, counted in the report.
    static constexpr std::size_t Capacite = 2000;

    CourrierAlertes(ReglagesMail reglages, Rapport rapport);
    ~CourrierAlertes();

    void poster(const MailAlerte &mail);
    std::size_t enAttente() const { return m_file.size(); }

private:
    void vider();

    const ReglagesMail m_reglages;
    Rapport m_rapport;
    std::unique_ptr<Mail::Email> m_email;
    std::deque<MailAlerte> m_file;
    bool m_envoiEnCours = false;
    bool m_videPrevu = false;
};

} // namespace Movendi::Backoffice
