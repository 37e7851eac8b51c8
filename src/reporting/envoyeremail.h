#pragma once

#include "config/clesconfiguration.h"
#include "mail/email.h"

#include <QString>
#include <QStringList>

namespace Movendi::Mail {
class Email;
}

namespace Movendi::Reporting {

using Mail::Email;

// The site's mail settings when RURUDIZ.ini says nothing (config/clesconfiguration.h).
inline constexpr int NombreDestinataires = Config::NombreDestinatairesMail;
inline constexpr qint32 PortSmtpParDefaut = Config::PortSmtpParDefaut;
inline constexpr const char *ServeurSmtpParDefaut = Config::ServeurSmtpParDefaut;
inline constexpr const char *ExpediteurParDefaut = Config::ExpediteurParDefaut;
inline constexpr const char *DestinataireParDefaut = Config::DestinataireParDefaut;

struct ReglagesEmail
{
    QString serveur;
    QString expediteur;
    QStringList destinataires; // "Mailto1" to "Mailto20", empty where none
    qint32 port = PortSmtpParDefaut;
    Mail::SecuriteSmtp securite; // "STARTTLS", "CA", "Utilisateur", "MotDePasse"
};

// Section "Email" of the configuration, read afresh at each mail.
ReglagesEmail LireReglagesEmail(const QString &cheminIni);

// The home screen's mail control (Email1), installed by the screen that owns it; null until
// then. The installer keeps ownership and installs null before it goes.
Email *email1();
void installEmail1(Email *email);

// One mail to each configured recipient in turn, each waited for to its end (events handled
// meanwhile), then the control's connection closed. Failures (a refusal, a server that does not
// finish in its time, an address without an at sign) are journalled under "EnvoyerEmail" with
// the server's last reply and end the routine (the later recipients get nothing).
void EnvoyerEmail(const QString &sujet, const QString &corps);

// Starts a mail on the control; a mail refused before sending raises ErreurExecution (an
// address without an at sign, an attachment that cannot be read).
quint64 envoyer(Email &email, const QString &expediteur, const QString &destinataire,
                const QString &sujet, const QString &corps, qint32 port);

// Waits for a mail to end; a mail not sent is journalled under contexte with the server's last
// reply. True when the server took it.
bool envoiTermine(Email &email, quint64 mail, const QString &contexte, const QString &destinataire,
                  const QString &sujet);

} // namespace Movendi::Reporting
