#include "commandeinit.h"

#include "argumentscommande.h"
#include "dossierapplication.h"

#include <QCoreApplication>
#include <QTextStream>

namespace Movendi::Admin {

namespace {

int executer(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {QStringLiteral("--automate")}, {}, 1, 1);
    if (!a.valides(err))
        return ErreurUsage;
    QString bibliotheque = a.option(QStringLiteral("--automate"));
    if (bibliotheque.isNull())
        bibliotheque = QCoreApplication::applicationDirPath() + QStringLiteral("/libgrafcet.so");
    const InitReport report = initialiserDossier(a.dossier(), bibliotheque);
    for (const QString &line : report.lines)
        (line.startsWith(QLatin1String("erreur")) ? err : out) << line << '\n';
    out << "Dossier: " << a.dossier() << '\n';
    return report.ok ? Reussite : Echec;
}

} // namespace

const Commande CommandeInit = {
    "init",
    "init DOSSIER [--automate BIBLIOTHEQUE]",
    "prépare un dossier d'application de démonstration",
    "Prépare le dossier d'application DOSSIER. Ce qui existe déjà est gardé tel quel (la base\n"
    "existante ne reçoit que les tables et colonnes qui lui manquent: à lancer après une mise à\n"
    "jour).\n"
    "\n"
    "Un dossier de démonstration: RURUDIZ.ini (ports série dirigés vers DOSSIER/dev/comN),\n"
    "fichiers de langue, journal MAINTEN.db, dossier d'échange epi/, base avec un catalogue de\n"
    "démonstration et ses images, liste de livraison ListeIMEI.xls, film video/animation.avi,\n"
    "et la bibliothèque du mécanisme (simulée) remplacée.\n"
    "\n"
    "Options:\n"
    "  --automate BIBLIOTHEQUE   la bibliothèque du mécanisme à copier en DOSSIER/libgrafcet.so\n"
    "                            (par défaut celle qui accompagne movendi-admin)\n"
    "\n"
    "Statut: 0 dossier prêt, 1 un élément n'a pas pu être créé (ligne « erreur: »), 64 usage.\n",
    executer,
};

} // namespace Movendi::Admin
