#include "commandestock.h"

#include "argumentscommande.h"

#include "journal/erreur.h"
#include "store/conversions.h"
#include "store/storedatabase.h"

#include <QTextStream>

namespace Movendi::Admin {

namespace {

using Store::ConvertNullStr;

// Levels 1 and 2 hold top-up vouchers, the levels above them phones (see the refill).
constexpr int DernierEtageRecharges = 2;
constexpr int FamilleTelephone = 1;

QString typeEtage(qint64 etage)
{
    return etage <= DernierEtageRecharges ? QStringLiteral("recharges")
                                          : QStringLiteral("téléphones");
}

int executer(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {}, {}, 1, 1);
    if (!a.valides(err))
        return ErreurUsage;
    if (!pointerDossier(a.dossier(), err))
        return Echec;
    try {
        Store::StoreDatabase base;
        const Store::ResultatRequete contenu = base.lire(QStringLiteral(
            "SELECT e.NoEmpl, e.Colonne, e.Etage, e.Reference, e.IMEI, e.NoSIM, a.Designation, "
            "a.Famille FROM EmplacementsMachine1 e LEFT JOIN ArticleEnStock a "
            "ON a.Reference = e.Reference WHERE e.Reference IS NOT NULL "
            "ORDER BY e.Reference, e.Colonne, e.Etage, e.NoEmpl"));
        const Store::ResultatRequete etages = base.lire(
            QStringLiteral("SELECT Etage, SUM(Reference IS NULL) AS Libres, COUNT(*) AS Total "
                           "FROM EmplacementsMachine1 GROUP BY Etage ORDER BY Etage"));

        int anomalies = 0;
        out << "Contenu (" << contenu.lignes.size() << " emplacement(s) occupé(s)):\n";
        if (!contenu.estVide())
            out << "  RÉF.  COL  ÉTAGE  DÉSIGNATION                   IMEI OU N° DE SÉRIE\n";
        for (qsizetype i = 0; i < contenu.lignes.size(); ++i) {
            const auto valeur = [&](const char *colonne) {
                return contenu.valeur(i, QLatin1String(colonne));
            };
            const qint64 etage = valeur("Etage").toLongLong();
            const bool niveauTelephone = etage > DernierEtageRecharges;
            // A phone keeps its IMEI, a voucher its serial in NoSIM (see the refill).
            const bool telephone = valeur("Famille").isNull()
                                       ? niveauTelephone
                                       : valeur("Famille").toInt() == FamilleTelephone;
            const QString identifiant =
                telephone ? QStringLiteral("IMEI ") + ConvertNullStr(valeur("IMEI"))
                          : QStringLiteral("série ") + ConvertNullStr(valeur("NoSIM"));
            QString remarque;
            if (valeur("Famille").isNull()) {
                remarque = QStringLiteral("  <- anomalie: référence absente du catalogue");
            } else if (telephone != niveauTelephone) {
                remarque =
                    QStringLiteral("  <- anomalie: %1 sur un étage de %2")
                        .arg(telephone ? QStringLiteral("téléphone") : QStringLiteral("recharge"),
                             typeEtage(etage));
            }
            anomalies += remarque.isEmpty() ? 0 : 1;
            out << "  " << ConvertNullStr(valeur("Reference")).rightJustified(4, QLatin1Char('0'))
                << "  " << QString::number(valeur("Colonne").toLongLong()).rightJustified(3) << "  "
                << QString::number(etage).rightJustified(5) << "  "
                << ConvertNullStr(valeur("Designation")).leftJustified(28) << "  " << identifiant
                << remarque << '\n';
        }

        qint64 libres = 0, total = 0;
        out << "Emplacements libres par étage:\n";
        for (qsizetype i = 0; i < etages.lignes.size(); ++i) {
            const qint64 etage = etages.valeur(i, QStringLiteral("Etage")).toLongLong();
            const qint64 l = etages.valeur(i, QStringLiteral("Libres")).toLongLong();
            const qint64 t = etages.valeur(i, QStringLiteral("Total")).toLongLong();
            libres += l;
            total += t;
            out << "  étage " << etage << " (" << typeEtage(etage) << "): " << l << " libre(s) sur "
                << t << '\n';
        }
        out << "Total: " << libres << " emplacement(s) libre(s) sur " << total << '\n';
        if (anomalies > 0)
            out << anomalies << " anomalie(s)\n";
        return anomalies == 0 ? Reussite : Echec;
    } catch (const Journal::ErreurExecution &erreur) {
        err << "erreur: " << erreur.description() << '\n';
        return Echec;
    }
}

} // namespace

const Commande CommandeStock = {
    "stock",
    "stock DOSSIER",
    "affiche le contenu du tambour et ses emplacements libres par étage",
    "Affiche chaque emplacement occupé du tambour (table EmplacementsMachine1): référence,\n"
    "colonne, étage, désignation du catalogue, et l'IMEI d'un téléphone (étages 3 et plus) ou\n"
    "le numéro de série d'une recharge (étages 1 et 2); puis le nombre d'emplacements libres\n"
    "de chaque étage. Un emplacement dont la référence manque au catalogue, ou dont l'article\n"
    "n'est pas sur un étage de sa famille, est signalé comme anomalie.\n"
    "\n"
    "Statut: 0 contenu affiché sans anomalie, 1 anomalie trouvée ou base illisible, 64 usage.\n",
    executer,
};

} // namespace Movendi::Admin
