#include "alertes/courrieralertes.h"

#include "mail/email.h"
#include "platform/clock.h"
#include "platform/seams.h"

namespace Movendi::Backoffice {

CourrierAlertes::CourrierAlertes(ReglagesMail reglages, Rapport rapport)
    : m_reglages(std::move(reglages)), m_rapport(std::move(rapport)),
      m_email(std::make_unique<Mail::Email>())
{
    m_email->setSeveurSmtp(m_reglages.serveur);
    m_email->setSecurite(m_reglages.securite);
}

CourrierAlertes::~CourrierAlertes() = default;

void CourrierAlertes::poster(const MailAlerte &mail)
{
    if (m_reglages.serveur.isEmpty() || m_reglages.destinataires.isEmpty()) {
        m_rapport(QStringLiteral("pas de serveur ou de destinataire [Email]: \"%1\" non envoyé")
                      .arg(mail.objet()));
        return;
    }
    if (m_file.size() >= Capacite) {
        m_rapport(QStringLiteral("%1 mails en attente: \"%2\" abandonné")
                      .arg(m_file.size())
                      .arg(mail.objet()));
        return;
    }
    m_file.push_back(mail);
    // Sent from the event loop, never inside the pass that judged the alerts.
    if (!m_videPrevu && !m_envoiEnCours) {
        m_videPrevu = true;
        Platform::clock().callAfter(0, [this] {
            m_videPrevu = false;
            vider();
        });
    }
}

void CourrierAlertes::vider()
{
    // Each mail's wait handles events; a mail posted meanwhile joins this round (poster schedules
    // no second one while it runs).
    m_envoiEnCours = true;
    while (!m_file.empty()) {
        const MailAlerte mail = m_file.front();
        m_file.pop_front();
        for (const QString &destinataire : m_reglages.destinataires) {
            try {
                const quint64 n = m_email->Envoie(m_reglages.expediteur, destinataire, mail.objet(),
                                                  mail.corps(), m_reglages.port);
                const Mail::Email::Issue issue = m_email->attendreFin(n);
                if (!issue.envoye)
                    m_rapport(QStringLiteral("mail \"%1\" à %2 non envoyé: %3")
                                  .arg(mail.objet(), destinataire, issue.derniereReponse));
            } catch (const Mail::MailRefuse &refus) {
                m_rapport(QStringLiteral("mail \"%1\" à %2 refusé: %3")
                              .arg(mail.objet(), destinataire, refus.message()));
            }
        }
        m_email->FermerWinsock();
    }
    m_envoiEnCours = false;
}

} // namespace Movendi::Backoffice
