#include "reporting/remisesbancaire.h"

#include "reporting/classeurexcel.h"
#include "reporting/echecexport.h"
#include "reporting/rapportsventes.h"

#include "journal/erreur.h"
#include "platform/clock.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"

#include <QDir>

namespace Movendi::Reporting {

namespace {
const QString EtapeCopie = QStringLiteral("Copy Data from Résultats to Résultats Étape");
} // namespace

QString cheminRemisesBancaire(const QDate &jour)
{
    return QDir(dossierRapports())
        .filePath(nomFichierRapport(QStringLiteral("Telecollecte"), State::etat().IdentiteMachine,
                                    jour, QStringLiteral(".xls")));
}

QString ExportRemisesBancaire()
{
    const QString identite = State::etat().IdentiteMachine;
    const QString chemin = cheminRemisesBancaire(Platform::clock().now().date());
    Store::StoreDatabase base;
    const Store::ResultatRequete remises = base.lire(
        QStringLiteral("SELECT LaDate, NbTransaction, Montant, NoRemise, Ticket FROM Telecollectes "
                       "WHERE TransmitOK = 0 ORDER BY Id"));
    ClasseurExcel classeur(QStringLiteral("Résultats"),
                           {QStringLiteral("LaDate"), QStringLiteral("NbTransaction"),
                            QStringLiteral("Montant"), QStringLiteral("NoRemise"),
                            QStringLiteral("Ticket"), QStringLiteral("RefAutomate")});
    for (qsizetype i = 0; i < remises.lignes.size(); ++i) {
        const QVariant montant = remises.valeur(i, QStringLiteral("Montant"));
        classeur.ajouterLigne(
            {celluleDepuis(Store::StoreDatabase::momentDepuisBase(
                 remises.valeur(i, QStringLiteral("LaDate")))),
             celluleDepuis(remises.valeur(i, QStringLiteral("NbTransaction"))),
             montant.isNull() ? Cellule() : Cellule(Store::StoreDatabase::monnaie(montant)),
             celluleDepuis(remises.valeur(i, QStringLiteral("NoRemise"))),
             celluleDepuis(remises.valeur(i, QStringLiteral("Ticket"))), Cellule(identite)});
    }
    QString erreur;
    if (!classeur.ecrire(chemin, &erreur)) {
        // The caller journals it and neither records nor mails the missing file.
        throw signalerEchecExport(EtapeCopie, QStringLiteral("ExportRemisesBancaire"), chemin,
                                  erreur);
    }
    return chemin;
}

} // namespace Movendi::Reporting
