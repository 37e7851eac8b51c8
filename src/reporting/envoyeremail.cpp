#include "reporting/envoyeremail.h"

#include "mail/email.h"

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
    const QString section = QStringLiteral("Email");
    ReglagesEmail r;
    r.serveur = Config::lireCle(cheminIni, section, QStringLiteral("SMTP"));
    r.expediteur = Config::lireCle(cheminIni, section, QStringLiteral("MailFrom"));
    for (int i = 1; i <= NombreDestinataires; ++i)
        r.destinataires << Config::lireCle(cheminIni, section, QStringLiteral("Mailto%1").arg(i));
    r.port = Config::lirePortReseau(cheminIni, section, QStringLiteral("Port"));
    r.securite.starttls = Config::lireCleOuiNon(cheminIni, section, QStringLiteral("STARTTLS"));
    r.securite.ca = Config::lireCle(cheminIni, section, QStringLiteral("CA"));
    r.securite.utilisateur = Config::lireCle(cheminIni, section, QStringLiteral("Utilisateur"));
    r.securite.motDePasse = Config::lireCle(cheminIni, section, QStringLiteral("MotDePasse"));
    return r;
}

Email *email1()
{
    return installe();
}

void installEmail1(Email *email)
{
    installe() = email;
}

void EnvoyerEmail(const QString &sujet, const QString &corps)
{
    Email *email = email1();
    if (!email) {
        Journal::JournaliserErreur(QStringLiteral("EnvoyerEmail"),
                                   QStringLiteral("pas de composant mail"));
        return;
    }
    try {
        const ReglagesEmail reglages = LireReglagesEmail(State::etat().CheminIni);
        email->setSeveurSmtp(reglages.serveur);
        email->setSecurite(reglages.securite);
        for (const QString &destinataire : reglages.destinataires) {
            if (destinataire.isEmpty())
                continue;
            const quint64 mail =
                envoyer(*email, reglages.expediteur, destinataire, sujet, corps, reglages.port);
            // A refusal or a server that does not finish ends the round, as any failure does.
            if (!envoiTermine(*email, mail, QStringLiteral("EnvoyerEmail"), destinataire, sujet))
                break;
        }
        email->FermerWinsock();
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("EnvoyerEmail"), erreur);
    }
}

quint64 envoyer(Email &email, const QString &expediteur, const QString &destinataire,
                const QString &sujet, const QString &corps, qint32 port)
{
    try {
        return email.Envoie(expediteur, destinataire, sujet, corps, port);
    } catch (const Mail::MailRefuse &refus) {
        throw Journal::ErreurExecution(refus.motif() == Mail::MailRefuse::Motif::AdresseSansArobase
                                           ? Journal::Erreurs::AppelIncorrect
                                           : Journal::Erreurs::FichierIntrouvable,
                                       refus.message());
    }
}

bool envoiTermine(Email &email, quint64 mail, const QString &contexte, const QString &destinataire,
                  const QString &sujet)
{
    const Email::Issue issue = email.attendreFin(mail);
    if (issue.envoye)
        return true;
    Journal::JournaliserErreur(contexte, QStringLiteral("mail \"%1\" à %2 non envoyé: %3")
                                             .arg(sujet, destinataire, issue.derniereReponse));
    return false;
}

} // namespace Movendi::Reporting
