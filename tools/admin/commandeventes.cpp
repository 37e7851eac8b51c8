#include "commandeventes.h"

#include "argumentscommande.h"

#include "journal/erreur.h"
#include "money/monnaie.h"
#include "platform/clock.h"
#include "platform/seams.h"
#include "store/conversions.h"
#include "store/storedatabase.h"

#include <QTextStream>

namespace Movendi::Admin {

using Money::Monnaie;
using Store::ConvertNullStr;
using Store::StoreDatabase;

QString masquerNumeroCarte(const QString &numero)
{
    qsizetype chiffres = 0;
    for (const QChar c : numero)
        chiffres += c.isDigit() ? 1 : 0;
    QString masque = numero.trimmed();
    qsizetype vus = 0;
    for (QChar &c : masque) {
        if (c.isDigit() && ++vus <= chiffres - 4)
            c = QLatin1Char('*');
    }
    return masque;
}

namespace {

constexpr int FamilleTelephone = 1;

QString statutDebit(int statut)
{
    switch (statut) {
    case 0:
        return QStringLiteral("débitée");
    case 1:
        return QStringLiteral("NON DÉBITÉE");
    default:
        return QStringLiteral("débit à vérifier sur la télécollecte");
    }
}

int executer(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString option = QStringLiteral("--jour");
    const ArgumentsCommande a(arguments, {option}, {}, 1, 1);
    if (!a.valides(err))
        return ErreurUsage;
    QDate jour = Platform::clock().now().date();
    if (a.presente(option)) {
        const std::optional<QDate> lu = lireJour(a.option(option));
        if (!lu) {
            err << "erreur: --jour attend une date JJ/MM/AAAA\n";
            return ErreurUsage;
        }
        jour = *lu;
    }
    if (!pointerDossier(a.dossier(), err))
        return Echec;
    try {
        StoreDatabase base;
        const Store::ResultatRequete lignes = base.lire(
            QStringLiteral(
                "SELECT v.NumVente, v.LaDate, v.NoCBClient, v.StatutDebit, v.Reprise, "
                "d.Id AS IdDetail, d.Designation, d.NoFamille, d.NoIMEI, d.NoSerieRecharge, "
                "d.Montant FROM Ventes v LEFT JOIN DetailVente d ON d.NoVente = v.NumVente "
                "WHERE v.LaDate >= ? AND v.LaDate < ? ORDER BY v.LaDate, v.NumVente, d.Id"),
            {StoreDatabase::versBase(QDateTime(jour, QTime(0, 0))),
             StoreDatabase::versBase(QDateTime(jour.addDays(1), QTime(0, 0)))});

        out << "Ventes du " << jour.toString(QLatin1String(FormatJour)) << ":\n";
        int ventes = 0;
        Monnaie total, nonDebite, aVerifier, totalVente;
        qint64 venteEnCours = -1;
        const auto finirVente = [&] {
            if (venteEnCours >= 0)
                out << "      total de la vente: " << totalVente.texteMonetaire() << '\n';
        };
        for (qsizetype i = 0; i < lignes.lignes.size(); ++i) {
            const auto valeur = [&](const char *colonne) {
                return lignes.valeur(i, QLatin1String(colonne));
            };
            const int statut = valeur("StatutDebit").toInt();
            if (valeur("NumVente").toLongLong() != venteEnCours) {
                finirVente();
                venteEnCours = valeur("NumVente").toLongLong();
                totalVente = Monnaie();
                ++ventes;
                const QString carte = ConvertNullStr(valeur("NoCBClient")).trimmed();
                out << "  vente " << venteEnCours << "  "
                    << StoreDatabase::momentDepuisBase(valeur("LaDate"))
                           .toString(QStringLiteral("HH:mm:ss"))
                    << "  carte "
                    << (carte.isEmpty() ? QStringLiteral("-") : masquerNumeroCarte(carte)) << "  "
                    << statutDebit(statut)
                    << (valeur("Reprise").toInt() == 1 ? "  (reprise au démarrage)" : "") << '\n';
            }
            if (valeur("IdDetail").isNull())
                continue;
            const Monnaie montant = StoreDatabase::monnaie(valeur("Montant"));
            totalVente += montant;
            total += montant;
            if (statut == 1)
                nonDebite += montant;
            else if (statut == 2)
                aVerifier += montant;
            const bool telephone = valeur("NoFamille").toInt() == FamilleTelephone;
            const QString identifiant =
                telephone ? QStringLiteral("IMEI ") + ConvertNullStr(valeur("NoIMEI"))
                          : QStringLiteral("série ") + ConvertNullStr(valeur("NoSerieRecharge"));
            out << "      " << ConvertNullStr(valeur("Designation")).leftJustified(28) << "  "
                << identifiant.leftJustified(24) << montant.texteMonetaire().rightJustified(14)
                << '\n';
        }
        finirVente();
        if (ventes == 0)
            out << "  (aucune vente)\n";
        out << ventes << " vente(s), montant total " << total.texteMonetaire() << '\n';
        if (nonDebite != Monnaie())
            out << "dont non débité: " << nonDebite.texteMonetaire() << '\n';
        if (aVerifier != Monnaie())
            out << "dont à vérifier sur la télécollecte: " << aVerifier.texteMonetaire() << '\n';
        return Reussite;
    } catch (const Journal::ErreurExecution &erreur) {
        err << "erreur: " << erreur.description() << '\n';
        return Echec;
    }
}

} // namespace

const Commande CommandeVentes = {
    "ventes",
    "ventes DOSSIER [--jour JJ/MM/AAAA]",
    "affiche les ventes d'un jour, leur nombre et leur montant total",
    "Affiche les ventes d'un jour (aujourd'hui par défaut), chacune avec son heure, la carte\n"
    "(seuls les quatre derniers chiffres sont montrés), l'état du débit, et ses articles avec\n"
    "leur IMEI ou numéro de série et leur montant; puis le nombre de ventes et le montant total,\n"
    "et la part non débitée ou à vérifier sur la télécollecte s'il y en a.\n"
    "\n"
    "Options:\n"
    "  --jour JJ/MM/AAAA   le jour à afficher (aujourd'hui par défaut)\n"
    "\n"
    "Statut: 0 ventes affichées (même aucune), 1 base illisible ou pas de configuration,\n"
    "64 usage.\n",
    executer,
};

} // namespace Movendi::Admin
