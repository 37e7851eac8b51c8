#include "exportrapports.h"

#include "argumentscommande.h"
#include "journaltemporaire.h"
#include "verroukiosque.h"

#include "journal/erreur.h"
#include "mail/email.h"
#include "platform/filelookup.h"
#include "reporting/envoyeremail.h"
#include "reporting/rapportsventes.h"
#include "reporting/remisesbancaire.h"
#include "startup/demarrage.h"
#include "startup/installations.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"

#include <QDate>
#include <QDir>
#include <QTextStream>

namespace Movendi::Admin {

namespace {

QString option(const QStringList &options, const QString &nom)
{
    const qsizetype i = options.indexOf(nom);
    return i >= 0 && i + 1 < options.size() ? options.at(i + 1) : QString();
}

} // namespace

int exporterRapports(const QString &dossier, const QStringList &options, QTextStream &out,
                     QTextStream &err)
{
    const QString format = QStringLiteral("dd/MM/yyyy");
    const QDate du = QDate::fromString(option(options, QStringLiteral("--du")), format);
    const QDate au = QDate::fromString(option(options, QStringLiteral("--au")), format);
    if (!du.isValid() || !au.isValid() || au < du) {
        err << "erreur: --du et --au attendent deux dates JJ/MM/AAAA, la première au plus tard "
               "la seconde\n";
        return 64;
    }
    if (!pointerDossier(dossier, err))
        return 1;
    // The night writes the same files and records: not both at once.
    VerrouKiosque verrou(dossier);
    if (!verrou.prendre(err, QStringLiteral("exporter")))
        return 1;
    Startup::LireConfiguration();

    QStringList csv;
    QString classeur;
    try {
        csv = Reporting::ecrireExportsCsv(du.toString(format), au.toString(format),
                                          QDate::currentDate());
        for (const QString &f : csv)
            out << "écrit: " << f << '\n';
        classeur = Reporting::ExportRemisesBancaire();
        Store::StoreDatabase base;
        Reporting::enregistrerFichierRapport(base, classeur);
        out << "écrit: " << classeur << '\n';
    } catch (const Journal::ErreurExecution &erreur) {
        err << "erreur: " << erreur.description() << '\n';
        return 1;
    }
    if (!options.contains(QStringLiteral("--envoyer")))
        return 0;

    Mail::Email email;
    int envoyes = 0;
    QObject::connect(&email, &Mail::Email::Reponse, [&envoyes](const QString &etat) {
        if (etat == QStringLiteral("Email envoyé avec succés..."))
            ++envoyes;
    });
    int attendus = 0;
    {
        const Startup::InstalledEmail1 installe(&email);
        const JournalTemporaire journal;
        // As the night mails them: the CSV files to the sales recipients, the workbook to the
        // remittance one.
        const auto envoyer = [&](const QStringList &fichiers, const QStringList &adresses) {
            for (const QString &a : adresses) {
                ++attendus;
                Reporting::envoyerRapport(fichiers, {a});
                out << "envoyé à " << a << ": " << fichiers.size() << " fichier(s)\n";
            }
        };
        envoyer(csv, Reporting::destinatairesRapport(2, 4));
        envoyer({classeur}, Reporting::destinatairesRapport(1, 1));
        journal.imprimer(out);
    }
    out << envoyes << " mail(s) envoyé(s) sur " << attendus << '\n';
    return envoyes == attendus ? 0 : 1;
}

namespace {

int executerExport(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {QStringLiteral("--du"), QStringLiteral("--au")},
                              {QStringLiteral("--envoyer")}, 1, 1);
    if (!a.valides(err))
        return ErreurUsage;
    return exporterRapports(a.dossier(), arguments, out, err);
}

} // namespace

const Commande CommandeExport = {
    "export",
    "export DOSSIER --du JJ/MM/AAAA --au JJ/MM/AAAA [--envoyer]",
    "écrit (et envoie) les fichiers comptables d'une période",
    "Écrit maintenant dans RapportVentes/ les fichiers CSV des ventes et des recharges de la\n"
    "période et le classeur des remises du jour, comme la nuit les écrit, et affiche chaque\n"
    "fichier écrit.\n"
    "\n"
    "Options:\n"
    "  --du JJ/MM/AAAA   premier jour de la période\n"
    "  --au JJ/MM/AAAA   dernier jour de la période\n"
    "  --envoyer         envoie aussi les fichiers par mail comme la nuit les envoie\n"
    "\n"
    "Statut: 0 tout ce qui était demandé a réussi, 1 sinon, 64 usage (dates absentes ou\n"
    "invalides).\n",
    executerExport,
};

} // namespace Movendi::Admin
