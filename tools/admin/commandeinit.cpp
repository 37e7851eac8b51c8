#include "commandeinit.h"

#include "argumentscommande.h"
#include "dossierapplication.h"
#include "verroukiosque.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace Movendi::Admin {

namespace {

// The simulated machine-control library: beside the tool in a build folder, in lib/movendi
// once installed.
QString bibliothequeSimulee()
{
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString voisine = bin.filePath(QStringLiteral("libgrafcet.so"));
    const QString installee = bin.filePath(QStringLiteral("../lib/movendi/libgrafcet.so"));
    return QFileInfo::exists(voisine) || !QFileInfo::exists(installee)
               ? voisine
               : QFileInfo(installee).canonicalFilePath();
}

int executer(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {QStringLiteral("--automate")},
                              {QStringLiteral("--production")}, 1, 1);
    if (!a.valides(err))
        return ErreurUsage;
    // An existing folder gets tables and columns added to its store: not under a running kiosk.
    VerrouKiosque verrou(a.dossier());
    if (QFileInfo::exists(a.dossier()) && !verrou.prendre(err, QStringLiteral("le préparer")))
        return Echec;
    const bool production = a.presente(QStringLiteral("--production"));
    // A real kiosk's folder keeps the library it has unless one is named.
    QString bibliotheque = a.option(QStringLiteral("--automate"));
    const bool bibliothequeEnPlace =
        QFileInfo(QDir(a.dossier()).filePath(QStringLiteral("libgrafcet.so"))).isFile();
    if (bibliotheque.isNull() && !(production && bibliothequeEnPlace))
        bibliotheque = bibliothequeSimulee();
    const InitReport report = initialiserDossier(
        a.dossier(), bibliotheque, production ? ContenuDossier::Production : ContenuDossier::Demo);
    for (const QString &line : report.lines)
        (line.startsWith(QLatin1String("erreur")) ? err : out) << line << '\n';
    if (production && report.ok)
        out << "À renseigner: les périphériques de RURUDIZ.ini qui valent " << ValeurARenseigner
            << ", puis vérifier avec « movendi-admin config " << a.dossier() << " »\n";
    out << "Dossier: " << a.dossier() << '\n';
    return report.ok ? Reussite : Echec;
}

} // namespace

const Commande CommandeInit = {
    "init",
    "init [--production] DOSSIER [--automate BIBLIOTHEQUE]",
    "prépare un dossier d'application (démonstration, ou kiosque réel avec --production)",
    "Prépare le dossier d'application DOSSIER. Ce qui existe déjà est gardé tel quel (la base\n"
    "existante ne reçoit que les tables et colonnes qui lui manquent: à lancer après une mise à\n"
    "jour).\n"
    "\n"
    "Sans --production, un dossier de démonstration: RURUDIZ.ini (ports série dirigés vers\n"
    "DOSSIER/dev/comN), fichiers de langue, journal MAINTEN.db, dossier d'échange epi/, base\n"
    "avec un catalogue de démonstration et ses images, liste de livraison ListeIMEI.xls, film\n"
    "video/animation.avi, et la bibliothèque du mécanisme (simulée) remplacée.\n"
    "\n"
    "Avec --production, un dossier pour un kiosque réel: RURUDIZ.ini où les périphériques\n"
    "(Port1 terminal de paiement, Port2 imprimante, LCD afficheur) valent A_RENSEIGNER,\n"
    "ReglerHorloge=OUI, l'identité du kiosque tirée du nom de la machine; fichiers de langue,\n"
    "journal, dossier d'échange, base vide avec son schéma et les emplacements libres du\n"
    "tambour; aucune donnée de démonstration. La bibliothèque du mécanisme n'y est pas copiée:\n"
    "DOSSIER/libgrafcet.so devient un lien vers celle que --automate nomme (ou, si le dossier\n"
    "n'en a pas encore, celle qui accompagne movendi-admin), qui doit rester où root seul peut\n"
    "la modifier, elle et chaque dossier au-dessus: le kiosque refuse sinon de la charger.\n"
    "Ensuite, « movendi-admin config DOSSIER » dit ce qui reste à renseigner.\n"
    "\n"
    "Options:\n"
    "  --production              dossier d'un kiosque réel, sans données de démonstration\n"
    "  --automate BIBLIOTHEQUE   la bibliothèque du mécanisme: copiée en DOSSIER/libgrafcet.so,\n"
    "                            ou liée avec --production (par défaut celle qui accompagne\n"
    "                            movendi-admin)\n"
    "\n"
    "Statut: 0 dossier prêt, 1 un élément n'a pas pu être créé (ligne « erreur: »), 64 usage.\n",
    executer,
};

} // namespace Movendi::Admin
