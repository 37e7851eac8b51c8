#include "verificationemail.h"

#include "journaltemporaire.h"

#include "platform/filelookup.h"
#include "reporting/email.h"
#include "reporting/envoyeremail.h"
#include "state/etatdemarrage.h"

#include <QDir>
#include <QTextStream>

namespace Movendi::Admin {

int verifierEmail(const QString &dossier, QTextStream &out, QTextStream &err)
{
    const std::optional<QString> nom =
        Platform::findFileNoCase(dossier, QStringLiteral("RURUDIZ.ini"));
    if (!nom) {
        err << "erreur: pas de configuration RURUDIZ.ini dans " << dossier << '\n';
        return 1;
    }
    Startup::EtatDemarrage &e = Startup::etat();
    e.dossierApplication = dossier;
    e.CheminIni = QDir(dossier).filePath(*nom);

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

    Reporting::Email email;
    int envoyes = 0;
    QObject::connect(&email, &Reporting::Email::Reponse,
                     [&out, &envoyes](const QString &etat, const QString &serveur) {
                         out << "Reponse: " << etat;
                         if (!serveur.isEmpty() && serveur != etat)
                             out << " (" << serveur << ')';
                         out << '\n';
                         out.flush();
                         if (etat == QStringLiteral("Email envoyé avec succés..."))
                             ++envoyes;
                     });
    Reporting::installerEmail1(&email);
    {
        // Failures are shown, the kiosk's journal untouched.
        const JournalTemporaire journal;
        Reporting::EnvoyerEmail(QStringLiteral("test"), QStringLiteral("Test d' Email Da VUDU2"));
        journal.imprimer(out);
    }
    Reporting::installerEmail1(nullptr);

    out << envoyes << " mail(s) envoyé(s) sur " << destinataires << '\n';
    return envoyes == destinataires && destinataires > 0 ? 0 : 1;
}

} // namespace Movendi::Admin
