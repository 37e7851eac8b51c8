#include "reporting/envoyeremail.h"

#include "reporting/email.h"

#include "config/fnkestrel.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "state/etatdemarrage.h"
#include "utilities/fonctionutilitaires.h"

namespace Movendi::Reporting {

namespace {

Email *&installe()
{
    static Email *email = nullptr;
    return email;
}

} // namespace

ReglagesEmail LireReglagesEmail(const QString &cheminIni)
{
    using Startup::LireIniString;
    const QString section = QStringLiteral("Email");
    ReglagesEmail r;
    r.serveur = LireIniString(cheminIni, section, QStringLiteral("SMTP"),
                              QString::fromLatin1(ServeurSmtpParDefaut));
    r.expediteur = LireIniString(cheminIni, section, QStringLiteral("MailFrom"),
                                 QString::fromLatin1(ExpediteurParDefaut));
    for (int i = 1; i <= NombreDestinataires; ++i) {
        r.destinataires << LireIniString(cheminIni, section, QStringLiteral("Mailto%1").arg(i),
                                         i == 1 ? QString::fromLatin1(DestinataireParDefaut)
                                                : QString());
    }
    // Read as text: a port above 32767 would not survive the 16-bit integer read.
    bool ok = false;
    const int port =
        LireIniString(cheminIni, section, QStringLiteral("Port"), QString()).trimmed().toInt(&ok);
    r.port = ok && port > 0 && port <= 65535 ? port : PortSmtpParDefaut;
    return r;
}

Email *email1()
{
    return installe();
}

void installerEmail1(Email *email)
{
    installe() = email;
}

void EnvoyerEmail(const QString &sujet, const QString &corps)
{
    Email *email = email1();
    if (!email) {
        Startup::JournaliserErreur(QStringLiteral("EnvoyerEmail"),
                                   QStringLiteral("pas de composant mail"));
        return;
    }
    try {
        const ReglagesEmail reglages = LireReglagesEmail(Startup::etat().CheminIni);
        email->setSeveurSmtp(reglages.serveur);
        for (const QString &destinataire : reglages.destinataires) {
            if (destinataire.isEmpty())
                continue;
            const quint64 mail =
                email->Envoie(reglages.expediteur, destinataire, sujet, corps, reglages.port);
            // A refusal or a server that does not finish ends the round, as any failure does.
            if (!envoiTermine(*email, mail, QStringLiteral("EnvoyerEmail"), destinataire, sujet))
                break;
        }
        email->FermerWinsock();
    } catch (const Startup::ErreurExecution &erreur) {
        Startup::SignalerErreur(QStringLiteral("EnvoyerEmail"), erreur);
    }
}

bool envoiTermine(Email &email, quint64 mail, const QString &contexte, const QString &destinataire,
                  const QString &sujet)
{
    const Email::Issue issue = email.attendreFin(mail);
    if (issue.envoye)
        return true;
    Startup::JournaliserErreur(contexte, QStringLiteral("mail \"%1\" à %2 non envoyé: %3")
                                             .arg(sujet, destinataire, issue.derniereReponse));
    return false;
}

} // namespace Movendi::Reporting
