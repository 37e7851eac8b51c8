#include "store/rapprochement.h"

#include "store/storedatabase.h"

namespace Movendi::Store {

namespace {

constexpr int DebitAccepte = 255;

QVariant bornePeriode(const QDateTime &moment)
{
    // Before any stored date ("2026-..." sorts after "0"): from the first sale. Not a null
    // text, which would compare as nothing at all.
    return moment.isValid() ? StoreDatabase::versBase(moment) : QVariant(QStringLiteral("0"));
}

QList<Remise> remises(StoreDatabase &base)
{
    QList<Remise> r;
    const ResultatRequete lignes = base.lire(QStringLiteral(
        "SELECT Id, LaDate, NoRemise, NbTransaction, Montant FROM Telecollectes ORDER BY LaDate, "
        "Id"));
    for (const QVariantList &l : lignes.lignes) {
        Remise remise;
        remise.id = l.at(0).toLongLong();
        remise.date = StoreDatabase::momentDepuisBase(l.at(1));
        remise.noRemise = l.at(2).toInt();
        if (!l.at(3).isNull())
            remise.nbTransactions = l.at(3).toLongLong();
        remise.montantCentimes = StoreDatabase::monnaie(l.at(4)).centimes();
        r << remise;
    }
    return r;
}

QList<VenteAVerifier> aVerifierEntre(StoreDatabase &base, const QDateTime &apres,
                                     const QDateTime &jusque)
{
    QList<VenteAVerifier> ventes;
    const ResultatRequete lignes = base.lire(
        QStringLiteral("SELECT v.NumVente, v.LaDate, j.MontantDebitCentimes FROM Ventes v LEFT "
                       "JOIN JournalVente j ON j.NumVente = v.NumVente WHERE v.StatutDebit = 2 "
                       "AND v.LaDate > ? AND v.LaDate <= ? ORDER BY v.LaDate, v.NumVente"),
        {bornePeriode(apres), StoreDatabase::versBase(jusque)});
    for (const QVariantList &l : lignes.lignes)
        ventes << VenteAVerifier{l.at(0).toLongLong(), StoreDatabase::momentDepuisBase(l.at(1)),
                                 l.at(2).toLongLong()};
    return ventes;
}

LigneRapprochement rapprocher(StoreDatabase &base, const Remise &remise, const QDateTime &apres)
{
    LigneRapprochement ligne;
    ligne.remise = remise;
    ligne.local = debitsEntre(base, apres, remise.date);
    ligne.ecart = ecartRemise(remise, ligne.local);
    ligne.aVerifier = aVerifierEntre(base, apres, remise.date);
    if (ligne.ecart && !ligne.aVerifier.isEmpty()) {
        DebitsLocaux avec = ligne.local;
        for (const VenteAVerifier &v : ligne.aVerifier) {
            ++avec.nbDebits;
            avec.montantCentimes += v.montantCentimes;
        }
        ligne.expliqueParAVerifier = !ecartRemise(remise, avec);
    }
    return ligne;
}

} // namespace

DebitsLocaux debitsEntre(StoreDatabase &base, const QDateTime &apres, const QDateTime &jusque)
{
    const ResultatRequete r = base.lire(
        QStringLiteral("SELECT COUNT(*), COALESCE(SUM(j.MontantDebitCentimes), 0) FROM Ventes v "
                       "JOIN JournalVente j ON j.NumVente = v.NumVente WHERE j.DebitEnvoye = 1 AND "
                       "j.ResultatDebit = ? AND j.MontantDebitCentimes > 0 AND v.LaDate > ? AND "
                       "v.LaDate <= ?"),
        {DebitAccepte, bornePeriode(apres), StoreDatabase::versBase(jusque)});
    return {r.lignes.at(0).at(0).toLongLong(), r.lignes.at(0).at(1).toLongLong()};
}

bool ecartRemise(const Remise &remise, const DebitsLocaux &local)
{
    // A count the report did not give is not a difference: the amount still is.
    return (remise.nbTransactions && *remise.nbTransactions != local.nbDebits) ||
           remise.montantCentimes != local.montantCentimes;
}

QList<LigneRapprochement> rapprochement(StoreDatabase &base, const QDateTime &depuis)
{
    QList<LigneRapprochement> lignes;
    QDateTime precedente;
    for (const Remise &remise : remises(base)) {
        if (remise.date >= depuis)
            lignes << rapprocher(base, remise, precedente);
        precedente = remise.date;
    }
    return lignes;
}

std::optional<LigneRapprochement> derniereRemise(StoreDatabase &base)
{
    const QList<Remise> toutes = remises(base);
    if (toutes.isEmpty())
        return std::nullopt;
    const QDateTime apres = toutes.size() > 1 ? toutes.at(toutes.size() - 2).date : QDateTime();
    return rapprocher(base, toutes.constLast(), apres);
}

} // namespace Movendi::Store
