// The staff tool's commands, one unit each, and their dispatch.
#include "commandes.h"

#include "commandeconfig.h"
#include "commandeflotte.h"
#include "commandeinit.h"
#include "commandejournal.h"
#include "commandesauvegarde.h"
#include "commandestock.h"
#include "commandesynchro.h"
#include "commandeventes.h"
#include "diagnostictpe.h"
#include "essaisperipheriques.h"
#include "exportrapports.h"
#include "verificationemail.h"

#include <QTextStream>

namespace Movendi::Admin {

namespace {

const Commande *const Commandes[] = {
    &CommandeInit,     &CommandeConfig,     &CommandeJournal,    &CommandeStock,
    &CommandeVentes,   &CommandeSauvegarde, &CommandeRestaurer,  &CommandeExport,
    &CommandeTpe,      &CommandeEmail,      &CommandeImprimante, &CommandeLcd,
    &CommandeAutomate, &CommandeSynchro,    &CommandeFlotte,     &CommandeRapprochement,
    &CommandeBadge,
};

bool demandeAide(const QString &argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
           argument == QLatin1String("aide");
}

void usage(QTextStream &flux)
{
    flux << "usage: movendi-admin COMMANDE DOSSIER [OPTIONS]\n"
            "       movendi-admin COMMANDE --help    (l'aide de la commande)\n\n"
            "Commandes:\n";
    for (const Commande *c : Commandes) {
        flux << "  movendi-admin " << QString::fromUtf8(c->synopsis) << '\n'
             << "      " << QString::fromUtf8(c->resume) << '\n';
    }
    flux << "\nStatut de sortie: 0 réussite, 1 échec de l'opération ou problème trouvé, 64 "
            "erreur d'usage.\n";
}

} // namespace

int executerCommande(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.isEmpty()) {
        usage(err);
        return ErreurUsage;
    }
    if (arguments.size() == 1 && demandeAide(arguments.constFirst())) {
        usage(out);
        return Reussite;
    }
    const Commande *commande = nullptr;
    for (const Commande *c : Commandes) {
        if (arguments.constFirst() == QLatin1String(c->nom))
            commande = c;
    }
    if (!commande) {
        err << "erreur: commande inconnue: " << arguments.constFirst() << "\n\n";
        usage(err);
        return ErreurUsage;
    }
    const QStringList suite = arguments.mid(1);
    if (suite.contains(QStringLiteral("--help")) || suite.contains(QStringLiteral("-h"))) {
        out << "usage: movendi-admin " << QString::fromUtf8(commande->synopsis) << "\n\n"
            << QString::fromUtf8(commande->aide);
        return Reussite;
    }
    const int statut = commande->executer(suite, out, err);
    if (statut == ErreurUsage)
        err << "usage: movendi-admin " << QString::fromUtf8(commande->synopsis) << '\n'
            << "       movendi-admin " << commande->nom << " --help\n";
    return statut;
}

} // namespace Movendi::Admin
