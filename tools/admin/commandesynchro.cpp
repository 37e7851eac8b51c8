#include "commandesynchro.h"

#include "argumentscommande.h"

#include "journal/erreur.h"
#include "reporting/synchrserv.h"
#include "store/conversions.h"
#include "store/storedatabase.h"

#include <QTextStream>

namespace Movendi::Admin {

namespace {

using Store::ConvertNullStr;

int executer(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString relancer = QStringLiteral("--relancer");
    const ArgumentsCommande a(arguments, {}, {relancer}, 1, 1);
    if (!a.valides(err))
        return ErreurUsage;
    if (!pointerDossier(a.dossier(), err))
        return Echec;
    try {
        Store::StoreDatabase base;
        if (a.presente(relancer)) {
            // Only what is still on disk can go again.
            const int remis = base.executer(QStringLiteral(
                "UPDATE FichierTransfer SET MisDeCote = 0, Echecs = 0, Motif = NULL WHERE "
                "MisDeCote = 1 AND Transfert = 0"));
            out << remis << " fichier(s) remis dans la file d'envoi\n";
        }
        const Store::ResultatRequete r = base.lire(QStringLiteral(
            "SELECT NomFichier, Echecs, MisDeCote, Motif FROM FichierTransfer WHERE Transfert = 0 "
            "AND NomFichier <> '' ORDER BY Id"));
        const int envoyes =
            base.lire(QStringLiteral("SELECT COUNT(*) AS n FROM FichierTransfer WHERE "
                                     "Transfert = 1"))
                .valeur(0, QStringLiteral("n"))
                .toInt();
        int deCote = 0;
        out << "Envoyés: " << envoyes << '\n';
        out << "Non envoyés: " << r.lignes.size() << '\n';
        for (qsizetype i = 0; i < r.lignes.size(); ++i) {
            const int etat = r.valeur(i, QStringLiteral("MisDeCote")).toInt();
            const int echecs = r.valeur(i, QStringLiteral("Echecs")).toInt();
            const QString motif = ConvertNullStr(r.valeur(i, QStringLiteral("Motif")));
            out << "  " << ConvertNullStr(r.valeur(i, QStringLiteral("NomFichier"))) << "  ";
            if (etat == 1)
                out << "MIS DE CÔTÉ après " << echecs << " refus: " << motif;
            else if (etat == 2)
                out << "ABSENT DU DISQUE";
            else if (echecs > 0)
                out << "en attente (" << echecs << " refus: " << motif << ')';
            else
                out << "en attente";
            out << '\n';
            deCote += etat != 0 ? 1 : 0;
        }
        return deCote == 0 ? Reussite : Echec;
    } catch (const Journal::ErreurExecution &erreur) {
        err << "erreur: " << erreur.description() << '\n';
        return Echec;
    }
}

} // namespace

const Commande CommandeSynchro = {
    "synchro",
    "synchro DOSSIER [--relancer]",
    "les classeurs de synchronisation pas encore pris par le serveur FTP",
    "Affiche les classeurs de synchronisation (SyncrhoServ) que le serveur FTP n'a pas encore\n"
    "pris: en attente, mis de côté après 3 envois refusés par le serveur (le fichier est\n"
    "gardé sur le disque et les suivants partent), ou absents du disque.\n"
    "\n"
    "Options:\n"
    "  --relancer   remet les fichiers mis de côté dans la file (ils repartent à la vente\n"
    "               suivante)\n"
    "\n"
    "Statut: 0 aucun fichier mis de côté ni absent, 1 sinon ou base illisible, 64 usage.\n",
    executer,
};

} // namespace Movendi::Admin
