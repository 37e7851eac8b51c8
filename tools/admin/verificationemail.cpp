#include "verificationemail.h"

#include "argumentscommande.h"
#include "journaltemporaire.h"

#include "mail/email.h"
#include "platform/filelookup.h"
#include "reporting/envoyeremail.h"
#include "startup/installations.h"
#include "state/etatdemarrage.h"

#include <QDir>
#include <QTextStream>

namespace Movendi::Admin {

int verifierEmail(const QString &dossier, QTextStream &out, QTextStream &err)
{
    if (!pointerDossier(dossier, err))
        return 1;
    const State::EtatDemarrage &e = State::etat();

    const Reporting::ReglagesEmail reglages = Reporting::LireReglagesEmail(e.CheminIni);
    out << "serveur: " << reglages.serveur << " port " << reglages.port << '\n';
    out << "expéditeur: " << reglages.expediteur << '\n';
    int destinataires = 0;
    for (const QString &d : reglages.destinataires) {
        if (!d.isEmpty()) {
            out << "destinataire: " << d << '\n';
            ++destinataires;
        }
    }
    out.flush();

    Mail::Email email;
    int envoyes = 0;
    QObject::connect(&email, &Mail::Email::Reponse,
                     [&out, &envoyes](const QString &etat, const QString &serveur) {
                         out << "Reponse: " << etat;
                         if (!serveur.isEmpty() && serveur != etat)
                             out << " (" << serveur << ')';
                         out << '\n';
                         out.flush();
                         if (etat == QStringLiteral("Email envoyé avec succés..."))
                             ++envoyes;
                     });
    {
        const Startup::InstalledEmail1 installe(&email);
        // Failures are shown, the kiosk's journal untouched.
        const JournalTemporaire journal;
        Reporting::EnvoyerEmail(QStringLiteral("test"), QStringLiteral("Test d' Email Da VUDU2"));
        journal.imprimer(out);
    }

    out << envoyes << " mail(s) envoyé(s) sur " << destinataires << '\n';
    return envoyes == destinataires && destinataires > 0 ? 0 : 1;
}

namespace {

int executerEmail(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {}, {}, 2, 2);
    if (!a.valides(err))
        return ErreurUsage;
    if (a.valeur(1) != QLatin1String("test")) {
        err << "erreur: vérification inconnue \"" << a.valeur(1) << "\" (test)\n";
        return ErreurUsage;
    }
    return verifierEmail(a.dossier(), out, err);
}

} // namespace

const Commande CommandeEmail = {
    "email",
    "email DOSSIER test",
    "envoie le mail de test avec les réglages de mail du dossier",
    "Envoie le mail de test de l'écran d'accueil à chaque destinataire (Mailto1 à Mailto20 de la\n"
    "section Email de RURUDIZ.ini) et affiche chaque réponse du serveur. Se termine en quelques\n"
    "secondes par destinataire quoi que fasse le serveur.\n"
    "\n"
    "Statut: 0 chaque mail est parti, 1 sinon ou pas de configuration, 64 usage.\n",
    executerEmail,
};

} // namespace Movendi::Admin
