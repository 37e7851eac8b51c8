#include "store/boiteenvoi.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "payment/terminalframe.h"
#include "platform/clock.h"
#include "platform/seams.h"
#include "store/conversions.h"
#include "store/etatkiosque.h"
#include "store/storedatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <algorithm>

namespace Movendi::Store {

namespace {

bool g_active = false;
// A new run numbers above whatever the last one may have given.
bool g_nouvelleExecution = false;
std::function<void()> g_ajoute;

// A store laid out by an earlier version may not have it yet.
void creerTable(StoreDatabase &base)
{
    base.executer(QStringLiteral("CREATE TABLE IF NOT EXISTS BoiteEnvoi (Seq INTEGER PRIMARY KEY, "
                                 "Horodatage TEXT NOT NULL, Type TEXT NOT NULL, Charge TEXT NOT "
                                 "NULL)"));
}

bool tableExiste(StoreDatabase &base)
{
    return !base.lire(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = "
                                     "'BoiteEnvoi'"))
                .estVide();
}

QString fichierReservation(const StoreDatabase &base)
{
    const QFileInfo info(base.fichier());
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".seq"));
}

qint64 lireReservationFichier(const QString &chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromLatin1(f.read(32)).trimmed().toLongLong();
}

bool ecrireReservationFichier(const QString &chemin, qint64 valeur, QString *raison)
{
    QSaveFile f(chemin);
    if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray::number(valeur) + '\n') < 0 ||
        !f.commit()) {
        *raison = f.errorString();
        return false;
    }
    return true;
}

qint64 entierEtat(StoreDatabase &base, const char *cle)
{
    return lireEtatKiosque(base, QLatin1String(cle)).value_or(QString()).toLongLong();
}

// The next seq, inside the caller's transaction. The file's reservation is written before any
// number under it is used. A store may have gone back between two runs (a backup restored, the
// kiosk stopped): the first number of a run, and any after a file found ahead of the store's own
// reservation, comes above the file's reservation, so none is ever given twice.
qint64 allouerSeq(StoreDatabase &base)
{
    qint64 dernier = entierEtat(base, CleSeqFlotte);
    qint64 reserve = entierEtat(base, CleSeqReservee);
    const QString chemin = fichierReservation(base);
    const qint64 fichier = lireReservationFichier(chemin);
    if (g_nouvelleExecution || fichier > reserve) {
        dernier = std::max({dernier, reserve, fichier});
        reserve = dernier;
        g_nouvelleExecution = false;
    }
    const qint64 seq = dernier + 1;
    if (seq > reserve) {
        reserve = seq + BlocReservationSeq - 1;
        QString raison;
        if (!ecrireReservationFichier(chemin, reserve, &raison))
            // The event still goes: only a later restore could then reuse a number.
            Journal::journalSysteme(
                QStringLiteral("flotte: réservation de numéros non écrite (%1): %2")
                    .arg(chemin, raison));
    }
    ecrireEtatKiosque(base, QLatin1String(CleSeqReservee), QString::number(reserve));
    ecrireEtatKiosque(base, QLatin1String(CleSeqFlotte), QString::number(seq));
    return seq;
}

QJsonValue texteOuNul(const QVariant &v)
{
    return v.isNull() ? QJsonValue() : QJsonValue(v.toString());
}

qint64 centimes(const QVariant &montant)
{
    return StoreDatabase::monnaie(montant).centimes();
}

} // namespace

BoiteEnvoiActivee::BoiteEnvoiActivee(std::function<void()> ajoute)
    : m_avant(g_active), m_ajouteAvant(std::move(g_ajoute))
{
    g_active = true;
    g_nouvelleExecution = true;
    g_ajoute = std::move(ajoute);
}

BoiteEnvoiActivee::~BoiteEnvoiActivee()
{
    g_active = m_avant;
    g_ajoute = std::move(m_ajouteAvant);
}

QString horodatageFlotte(const QDateTime &moment)
{
    return moment.toUTC().toString(Qt::ISODate);
}

ContenuStock contenuStock(StoreDatabase &base, int noEmpl)
{
    ContenuStock c;
    if (!g_active)
        return c;
    const ResultatRequete r = base.lire(
        QStringLiteral("SELECT Reference, IMEI, NoSIM FROM EmplacementsMachine1 WHERE NoEmpl = ?"),
        {noEmpl});
    if (r.estVide())
        return c;
    const QVariant reference = r.valeur(0, QStringLiteral("Reference"));
    if (!reference.isNull())
        c.reference = reference.toLongLong();
    const QString imei = ConvertNullStr(r.valeur(0, QStringLiteral("IMEI")));
    if (!imei.isEmpty())
        c.imei = imei;
    else
        c.serie = ConvertNullStr(r.valeur(0, QStringLiteral("NoSIM")));
    return c;
}

std::optional<qint64> ajouterEvenement(StoreDatabase &base, const QString &type,
                                       const QJsonObject &champs)
{
    if (!g_active)
        return std::nullopt;
    creerTable(base);
    const qint64 seq = allouerSeq(base);
    base.executer(QStringLiteral(
                      "INSERT INTO BoiteEnvoi (Seq, Horodatage, Type, Charge) VALUES (?, ?, ?, ?)"),
                  {seq, horodatageFlotte(Platform::clock().now()), type,
                   QString::fromUtf8(QJsonDocument(champs).toJson(QJsonDocument::Compact))});
    if (g_ajoute)
        g_ajoute();
    return seq;
}

std::optional<qint64> ajouterEvenementVente(StoreDatabase &base, qint64 numVente,
                                            qint64 montantCentimes)
{
    if (!g_active)
        return std::nullopt;
    const ResultatRequete vente =
        base.lire(QStringLiteral("SELECT NoCBClient, NoRemiseTelecollecte, StatutDebit, Reprise "
                                 "FROM Ventes WHERE NumVente = ?"),
                  {numVente});
    if (vente.estVide())
        throw Journal::ErreurExecution(StoreDatabase::ErreurRequete,
                                       QStringLiteral("vente %1 introuvable").arg(numVente));
    const ResultatRequete detail =
        base.lire(QStringLiteral("SELECT RefProduit, Designation, NoFamille, Montant, NoIMEI, "
                                 "NoSerieRecharge FROM DetailVente WHERE NoVente = ? ORDER BY Id"),
                  {numVente});
    QJsonArray lignes;
    for (qsizetype i = 0; i < detail.lignes.size(); ++i) {
        const auto v = [&](const char *colonne) {
            return detail.valeur(i, QLatin1String(colonne));
        };
        lignes.append(QJsonObject{{QStringLiteral("ref"), v("RefProduit").toLongLong()},
                                  {QStringLiteral("designation"), texteOuNul(v("Designation"))},
                                  {QStringLiteral("famille"), v("NoFamille").toInt()},
                                  {QStringLiteral("montantCentimes"), centimes(v("Montant"))},
                                  {QStringLiteral("imei"), texteOuNul(v("NoIMEI"))},
                                  {QStringLiteral("serie"), texteOuNul(v("NoSerieRecharge"))}});
    }
    const QVariant carte = vente.valeur(0, QStringLiteral("NoCBClient"));
    const QVariant remise = vente.valeur(0, QStringLiteral("NoRemiseTelecollecte"));
    return ajouterEvenement(
        base, QStringLiteral("vente"),
        {{QStringLiteral("numVente"), numVente},
         {QStringLiteral("montantCentimes"), montantCentimes},
         {QStringLiteral("statutDebit"), vente.valeur(0, QStringLiteral("StatutDebit")).toInt()},
         {QStringLiteral("reprise"), vente.valeur(0, QStringLiteral("Reprise")).toInt() != 0},
         // Stored masked already; masked again so that no event can ever carry a whole number.
         {QStringLiteral("carte"),
          carte.isNull() ? QJsonValue() : QJsonValue(Payment::maskCardNumbersIn(carte.toString()))},
         {QStringLiteral("noRemise"), remise.isNull() ? QJsonValue() : QJsonValue(remise.toInt())},
         {QStringLiteral("lignes"), lignes}});
}

std::optional<qint64> ajouterEvenementStock(StoreDatabase &base, int noEmpl, const QString &cause,
                                            const ContenuStock &contenu)
{
    if (!g_active)
        return std::nullopt;
    QJsonObject champs{{QStringLiteral("noEmpl"), noEmpl},
                       {QStringLiteral("ref"), contenu.reference ? QJsonValue(*contenu.reference)
                                                                 : QJsonValue(QJsonValue::Null)},
                       {QStringLiteral("cause"), cause}};
    if (!contenu.imei.isEmpty())
        champs.insert(QStringLiteral("imei"), contenu.imei);
    else
        champs.insert(QStringLiteral("serie"),
                      contenu.serie.isEmpty() ? QJsonValue() : QJsonValue(contenu.serie));
    return ajouterEvenement(base, QStringLiteral("stock"), champs);
}

bool ajouterEvenementSeul(StoreDatabase &base, const QString &type, const QJsonObject &champs)
{
    if (!g_active)
        return false;
    try {
        enUneTransaction(base, [&] { ajouterEvenement(base, type, champs); });
        return true;
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::journalSysteme(
            QStringLiteral("flotte: événement %1 non écrit: %2").arg(type, erreur.description()));
        return false;
    }
}

void ajouterAlarme(StoreDatabase &base, const QString &code, const QString &contexte,
                   const QString &message)
{
    ajouterEvenementSeul(base, QStringLiteral("alarme"),
                         {{QStringLiteral("code"), code},
                          {QStringLiteral("contexte"), contexte},
                          {QStringLiteral("message"), Payment::maskCardNumbersIn(message)}});
}

QList<EvenementBoite> lireBoiteEnvoi(StoreDatabase &base, qint64 apres, int limite)
{
    QList<EvenementBoite> evenements;
    if (!tableExiste(base))
        return evenements;
    const ResultatRequete r = base.lire(
        QStringLiteral("SELECT Seq, Horodatage, Type, Charge FROM BoiteEnvoi WHERE Seq > ? ORDER "
                       "BY Seq LIMIT ?"),
        {apres, limite});
    for (const QVariantList &l : r.lignes) {
        EvenementBoite e;
        e.seq = l.at(0).toLongLong();
        e.horodatage = l.at(1).toString();
        e.type = l.at(2).toString();
        e.champs = QJsonDocument::fromJson(l.at(3).toString().toUtf8()).object();
        evenements << e;
    }
    return evenements;
}

void retirerDeBoiteEnvoi(StoreDatabase &base, const QList<qint64> &seqs)
{
    if (seqs.isEmpty())
        return;
    enUneTransaction(base, [&] {
        for (const qint64 seq : seqs)
            base.executer(QStringLiteral("DELETE FROM BoiteEnvoi WHERE Seq = ?"), {seq});
    });
}

EtatBoiteEnvoi etatBoiteEnvoi(StoreDatabase &base)
{
    EtatBoiteEnvoi etat;
    if (!tableExiste(base))
        return etat;
    etat.profondeur = base.lire(QStringLiteral("SELECT COUNT(*) AS n FROM BoiteEnvoi"))
                          .valeur(0, QStringLiteral("n"))
                          .toLongLong();
    const QList<EvenementBoite> premier = lireBoiteEnvoi(base, 0, 1);
    if (!premier.isEmpty())
        etat.plusAncien = premier.first();
    return etat;
}

QByteArray chargeEvenement(const EvenementBoite &evenement, const QString &kiosque)
{
    QJsonObject o = evenement.champs;
    o.insert(QStringLiteral("v"), 1);
    o.insert(QStringLiteral("kiosque"), kiosque);
    o.insert(QStringLiteral("seq"), evenement.seq);
    o.insert(QStringLiteral("id"), kiosque + QLatin1Char(':') + QString::number(evenement.seq));
    o.insert(QStringLiteral("type"), evenement.type);
    o.insert(QStringLiteral("horodatage"), evenement.horodatage);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace Movendi::Store
