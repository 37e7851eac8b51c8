#include "flotte/etatflotte.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/clock.h"
#include "platform/lienmqtt.h"
#include "platform/seams.h"
#include "store/boiteenvoi.h"
#include "store/storedatabase.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace Movendi::Flotte {

namespace {

// Locations below this floor hold top-up vouchers, the others telephones.
constexpr int PremierEtageTelephones = 3;

void ajouterMagasin(Store::StoreDatabase &base, QJsonObject &etat)
{
    using Store::StoreDatabase;
    const Store::ResultatRequete stock = base.lire(QStringLiteral(
        "SELECT a.Reference, a.Designation, a.Famille, COUNT(e.NoEmpl) FROM ArticleEnStock a "
        "LEFT JOIN EmplacementsMachine1 e ON e.Reference = a.Reference GROUP BY a.Reference, "
        "a.Designation, a.Famille ORDER BY a.Famille, a.Reference"));
    QJsonArray articles;
    for (const QVariantList &l : stock.lignes)
        articles.append(QJsonObject{{QStringLiteral("ref"), l.at(0).toLongLong()},
                                    {QStringLiteral("designation"), l.at(1).toString()},
                                    {QStringLiteral("famille"), l.at(2).toInt()},
                                    {QStringLiteral("qte"), l.at(3).toLongLong()}});
    const Store::ResultatRequete libres = base.lire(
        QStringLiteral("SELECT COALESCE(SUM(Etage >= ?), 0), COALESCE(SUM(Etage < ?), 0) FROM "
                       "EmplacementsMachine1 WHERE Reference IS NULL"),
        {PremierEtageTelephones, PremierEtageTelephones});
    const Store::ResultatRequete derniere =
        base.lire(QStringLiteral("SELECT MAX(LaDate) FROM Ventes"));
    const QVariant date = derniere.lignes.at(0).at(0);
    etat.insert(QStringLiteral("stock"), articles);
    etat.insert(QStringLiteral("emplacementsLibres"),
                QJsonObject{{QStringLiteral("telephones"), libres.lignes.at(0).at(0).toLongLong()},
                            {QStringLiteral("recharges"), libres.lignes.at(0).at(1).toLongLong()}});
    etat.insert(QStringLiteral("derniereVente"),
                date.isNull()
                    ? QJsonValue()
                    : QJsonValue(Store::horodatageFlotte(StoreDatabase::momentDepuisBase(date))));
}

} // namespace

QString versionKiosque()
{
    return QStringLiteral(MOVENDI_VERSION);
}

QJsonObject etatKiosque(Store::StoreDatabase *base, const SourcesEtat &sources,
                        const Config::ReglagesFlotte &reglages, const QDateTime &depuis,
                        const QDateTime &maintenant)
{
    QJsonObject etat{{QStringLiteral("v"), 1},
                     {QStringLiteral("kiosque"), reglages.kiosque},
                     {QStringLiteral("horodatage"), Store::horodatageFlotte(maintenant)},
                     {QStringLiteral("version"), versionKiosque()},
                     {QStringLiteral("depuis"), Store::horodatageFlotte(depuis)},
                     {QStringLiteral("ecran"), sources.ecran ? sources.ecran() : QString()},
                     {QStringLiteral("enService"), sources.enService && sources.enService()}};
    if (base)
        ajouterMagasin(*base, etat);
    if (sources.fileAttente) {
        if (const std::optional<qint64> n = sources.fileAttente())
            etat.insert(QStringLiteral("fileAttente"), *n);
    }
    if (const std::optional<qint64> n = Journal::erreursDepuis(maintenant.addDays(-1)))
        etat.insert(QStringLiteral("erreurs24h"), *n);
    return etat;
}

EtatFlotte::EtatFlotte(Platform::LienMqtt &lien, Config::ReglagesFlotte reglages,
                       SourcesEtat sources, OuvrirBase ouvrirBase, QObject *parent)
    : QObject(parent), m_lien(lien), m_reglages(std::move(reglages)), m_sources(std::move(sources)),
      m_ouvrirBase(std::move(ouvrirBase)), m_depuis(Platform::clock().now())
{
    connect(&m_lien, &Platform::LienMqtt::connecte, this, &EtatFlotte::publier);
    programmer();
}

EtatFlotte::~EtatFlotte()
{
    if (m_battement)
        Platform::clock().cancel(m_battement);
}

void EtatFlotte::programmer()
{
    m_battement = Platform::clock().callAfter(qint64(m_reglages.battementS) * 1000, [this] {
        m_battement = 0;
        publier();
    });
}

void EtatFlotte::changement()
{
    const QString ecran = m_sources.ecran ? m_sources.ecran() : QString();
    const bool service = m_sources.enService && m_sources.enService();
    if (ecran == m_dernierEcran && m_dernierService == service)
        return;
    publier();
}

void EtatFlotte::publier()
{
    if (m_battement)
        Platform::clock().cancel(m_battement);
    programmer();
    // Down, nothing goes: the next connection publishes the state afresh.
    if (m_lien.etat() != Platform::EtatLienMqtt::Connecte)
        return;
    std::unique_ptr<Store::StoreDatabase> base;
    try {
        base = m_ouvrirBase();
    } catch (const Journal::ErreurExecution &) {
        // The state goes without the store's part; the store's alarm says why.
    }
    QJsonObject etat;
    try {
        etat = etatKiosque(base.get(), m_sources, m_reglages, m_depuis, Platform::clock().now());
    } catch (const Journal::ErreurExecution &) {
        etat = etatKiosque(nullptr, m_sources, m_reglages, m_depuis, Platform::clock().now());
    }
    m_dernierEcran = etat.value(QStringLiteral("ecran")).toString();
    m_dernierService = etat.value(QStringLiteral("enService")).toBool();
    m_lien.publier(m_reglages.sujet(QStringLiteral("etat")),
                   QJsonDocument(etat).toJson(QJsonDocument::Compact), 1, true);
}

} // namespace Movendi::Flotte
