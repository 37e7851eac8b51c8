// movendi-flotte-sim: publishes on a broker as N kiosks following the fleet contract, at a
// chosen speed: their presence, a state every Battement (simulated) seconds, a day's sales with
// their locations, a refill and a nightly remittance each simulated day, and, on demand, faults
// (alarms) and outages (kiosks saying hors-ligne for a while). One connection carries every
// kiosk's messages. Prints what it published and ends after the simulated days.
//
//   movendi-flotte-sim --port P [--serveur H] [--kiosques N] [--jours D] [--vitesse V]
//                      [--ventes-par-jour S] [--battement S] [--pannes] [--coupures]
#include "platform/clock.h"
#include "platform/lienmosquitto.h"
#include "platform/seams.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTimer>

#include <cstdio>

using namespace Movendi;

namespace {

struct Kiosque
{
    QString nom;
    qint64 seq = 0;
    qint64 numVente = 0;
    qint64 noRemise = 0;
    qint64 debitsJour = 0;
    qint64 montantJour = 0;
    int stock[4] = {6, 5, 4, 8};
    bool horsLigne = false;
};

const char *const Designations[4] = {"Galaxy A15", "iPhone 13", "Redmi Note 13", "Recharge 10"};

class Simulateur
{
public:
    Simulateur(Platform::LienMqtt &lien, int kiosques, double vitesse, int ventesParJour,
               int battementS, bool pannes, bool coupures)
        : m_lien(lien), m_vitesse(vitesse), m_ventesParJour(ventesParJour),
          m_battementS(battementS), m_pannes(pannes), m_coupures(coupures)
    {
        for (int i = 1; i <= kiosques; ++i)
            m_kiosques.push_back({QStringLiteral("SIM-%1").arg(i, 4, 10, QLatin1Char('0'))});
        m_debut = QDateTime::currentDateTimeUtc();
    }

    // Simulated time now.
    QDateTime simule() const
    {
        return m_debut.addMSecs(qint64(double(m_horloge.elapsed()) * m_vitesse));
    }
    qint64 publies() const { return m_publies; }
    qint64 evenements() const { return m_evenements; }

    void demarrer()
    {
        m_horloge.start();
        for (Kiosque &k : m_kiosques)
            publier(k, QStringLiteral("presence"), "en-ligne", true);
    }

    // Everything due between the last step and now, kiosk by kiosk.
    void pas()
    {
        const QDateTime maintenant = simule();
        if (!m_dernier.isValid()) {
            m_dernier = maintenant;
            return;
        }
        const qint64 de = m_dernier.toSecsSinceEpoch();
        const qint64 a = maintenant.toSecsSinceEpoch();
        if (a <= de)
            return;
        m_dernier = maintenant;
        for (qint64 s = de + 1; s <= a; ++s)
            seconde(s);
    }

private:
    void seconde(qint64 s)
    {
        const qint64 jourS = 86400;
        const qint64 intervalleVente = m_ventesParJour > 0 ? jourS / m_ventesParJour : 0;
        for (int i = 0; i < int(m_kiosques.size()); ++i) {
            Kiosque &k = m_kiosques[i];
            // Spread over the period so that kiosks do not all speak in the same second.
            const qint64 decale = s + (qint64(i) * 7919) % 86400;
            if (decale % m_battementS == 0 && !k.horsLigne)
                etat(k);
            if (intervalleVente > 0 && decale % intervalleVente == 0 && !k.horsLigne)
                vente(k);
            if (decale % jourS == 9000) // 02:30
                remise(k);
            if (decale % jourS == 36000) // 10:00
                remplissage(k);
            if (m_pannes && decale % (jourS / 2) == 1234 && i % 10 == 0)
                evenement(k, "alarme",
                          {{QStringLiteral("code"), QStringLiteral("porte")},
                           {QStringLiteral("contexte"), QStringLiteral("MiseAJourStock")},
                           {QStringLiteral("message"), QStringLiteral("porte pas ouverte")}});
            if (m_coupures && i % 20 == 0 && decale % jourS == 20000) {
                k.horsLigne = true;
                publier(k, QStringLiteral("presence"), "hors-ligne", true);
            }
            if (m_coupures && k.horsLigne && decale % jourS == 20000 + 1800) {
                k.horsLigne = false;
                publier(k, QStringLiteral("presence"), "en-ligne", true);
            }
        }
    }

    void publier(Kiosque &k, const QString &quoi, const QByteArray &charge, bool retenu)
    {
        if (m_lien.publier(QStringLiteral("movendi/v1/%1/%2").arg(k.nom, quoi), charge, 1, retenu))
            ++m_publies;
    }

    void evenement(Kiosque &k, const char *type, QJsonObject champs)
    {
        ++k.seq;
        champs.insert(QStringLiteral("v"), 1);
        champs.insert(QStringLiteral("kiosque"), k.nom);
        champs.insert(QStringLiteral("seq"), k.seq);
        champs.insert(QStringLiteral("id"), k.nom + QLatin1Char(':') + QString::number(k.seq));
        champs.insert(QStringLiteral("type"), QLatin1String(type));
        champs.insert(QStringLiteral("horodatage"), simule().toString(Qt::ISODate));
        publier(k, QStringLiteral("evenements"),
                QJsonDocument(champs).toJson(QJsonDocument::Compact), false);
        ++m_evenements;
    }

    void etat(Kiosque &k)
    {
        QJsonArray stock;
        for (int r = 0; r < 4; ++r)
            stock.append(
                QJsonObject{{QStringLiteral("ref"), 101 + r},
                            {QStringLiteral("designation"), QLatin1String(Designations[r])},
                            {QStringLiteral("famille"), r == 3 ? 2 : 1},
                            {QStringLiteral("qte"), k.stock[r]}});
        // The state's time is the wall clock's: the measure of the service's lag reads it.
        const QJsonObject e{
            {QStringLiteral("v"), 1},
            {QStringLiteral("kiosque"), k.nom},
            {QStringLiteral("horodatage"),
             QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
            {QStringLiteral("version"), QStringLiteral("sim")},
            {QStringLiteral("ecran"), QStringLiteral("accueil")},
            {QStringLiteral("enService"), true},
            {QStringLiteral("stock"), stock},
            {QStringLiteral("emplacementsLibres"),
             QJsonObject{{QStringLiteral("telephones"), 100}, {QStringLiteral("recharges"), 30}}},
            {QStringLiteral("fileAttente"), 0},
            {QStringLiteral("erreurs24h"), 0}};
        publier(k, QStringLiteral("etat"), QJsonDocument(e).toJson(QJsonDocument::Compact), true);
    }

    void vente(Kiosque &k)
    {
        const int r = int(QRandomGenerator::global()->bounded(3));
        if (k.stock[r] == 0)
            return;
        --k.stock[r];
        const qint64 montant = 19990 + 1000;
        evenement(k, "stock",
                  {{QStringLiteral("noEmpl"), 10 + r},
                   {QStringLiteral("ref"), QJsonValue()},
                   {QStringLiteral("imei"),
                    QStringLiteral("3520910141%1").arg(k.seq, 5, 10, QLatin1Char('0'))},
                   {QStringLiteral("cause"), QStringLiteral("vente")}});
        ++k.numVente;
        k.debitsJour += 1;
        k.montantJour += montant;
        evenement(
            k, "vente",
            {{QStringLiteral("numVente"), k.numVente},
             {QStringLiteral("montantCentimes"), montant},
             {QStringLiteral("statutDebit"), 0},
             {QStringLiteral("reprise"), false},
             {QStringLiteral("carte"), QStringLiteral("497010******7893")},
             {QStringLiteral("noRemise"), k.noRemise + 1},
             {QStringLiteral("lignes"),
              QJsonArray{
                  QJsonObject{{QStringLiteral("ref"), 101 + r},
                              {QStringLiteral("designation"), QLatin1String(Designations[r])},
                              {QStringLiteral("famille"), 1},
                              {QStringLiteral("montantCentimes"), 19990},
                              {QStringLiteral("imei"), QStringLiteral("352091014100377")},
                              {QStringLiteral("serie"), QJsonValue()}},
                  QJsonObject{{QStringLiteral("ref"), 104},
                              {QStringLiteral("designation"), QLatin1String(Designations[3])},
                              {QStringLiteral("famille"), 2},
                              {QStringLiteral("montantCentimes"), 1000},
                              {QStringLiteral("imei"), QJsonValue()},
                              {QStringLiteral("serie"), QStringLiteral("7201583002199309")}}}}});
    }

    void remise(Kiosque &k)
    {
        ++k.noRemise;
        evenement(k, "telecollecte",
                  {{QStringLiteral("noRemise"), k.noRemise},
                   {QStringLiteral("nbTransactions"), k.debitsJour},
                   {QStringLiteral("montantCentimes"), k.montantJour},
                   {QStringLiteral("local"),
                    QJsonObject{{QStringLiteral("nbDebits"), k.debitsJour},
                                {QStringLiteral("montantCentimes"), k.montantJour}}},
                   {QStringLiteral("ecart"), false}});
        k.debitsJour = 0;
        k.montantJour = 0;
    }

    void remplissage(Kiosque &k)
    {
        for (int r = 0; r < 3; ++r) {
            while (k.stock[r] < 6) {
                ++k.stock[r];
                evenement(k, "stock",
                          {{QStringLiteral("noEmpl"), 10 + r},
                           {QStringLiteral("ref"), 101 + r},
                           {QStringLiteral("imei"), QStringLiteral("352091014100377")},
                           {QStringLiteral("cause"), QStringLiteral("remplissage")}});
            }
        }
    }

    Platform::LienMqtt &m_lien;
    std::vector<Kiosque> m_kiosques;
    const double m_vitesse;
    const int m_ventesParJour;
    const int m_battementS;
    const bool m_pannes;
    const bool m_coupures;
    QDateTime m_debut;
    QDateTime m_dernier;
    QElapsedTimer m_horloge;
    qint64 m_publies = 0;
    qint64 m_evenements = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    const QCommandLineOption serveur(QStringLiteral("serveur"), QStringLiteral("courtier"),
                                     QStringLiteral("hôte"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("port du courtier"),
                                  QStringLiteral("port"), QStringLiteral("1883"));
    const QCommandLineOption kiosques(QStringLiteral("kiosques"), QStringLiteral("kiosques"),
                                      QStringLiteral("N"), QStringLiteral("10"));
    const QCommandLineOption jours(QStringLiteral("jours"), QStringLiteral("jours simulés"),
                                   QStringLiteral("D"), QStringLiteral("1"));
    const QCommandLineOption vitesse(QStringLiteral("vitesse"),
                                     QStringLiteral("fois le temps réel"), QStringLiteral("V"),
                                     QStringLiteral("100"));
    const QCommandLineOption ventes(QStringLiteral("ventes-par-jour"),
                                    QStringLiteral("ventes par kiosque et par jour"),
                                    QStringLiteral("S"), QStringLiteral("20"));
    const QCommandLineOption battement(QStringLiteral("battement"),
                                       QStringLiteral("secondes entre deux états"),
                                       QStringLiteral("S"), QStringLiteral("60"));
    const QCommandLineOption pannes(QStringLiteral("pannes"), QStringLiteral("des alarmes"));
    const QCommandLineOption coupures(QStringLiteral("coupures"),
                                      QStringLiteral("des kiosques hors ligne une demi-heure"));
    p.addOptions({serveur, port, kiosques, jours, vitesse, ventes, battement, pannes, coupures});
    p.process(app);

    Platform::ReglagesLienMqtt r;
    r.serveur = p.value(serveur);
    r.port = p.value(port).toInt();
    r.identifiant = QStringLiteral("movendi-flotte-sim");
    Platform::LienMosquitto lien;
    Simulateur sim(lien, qMax(1, p.value(kiosques).toInt()), qMax(1.0, p.value(vitesse).toDouble()),
                   p.value(ventes).toInt(), qMax(1, p.value(battement).toInt()), p.isSet(pannes),
                   p.isSet(coupures));
    const double dureeMs =
        p.value(jours).toDouble() * 86400000.0 / qMax(1.0, p.value(vitesse).toDouble());
    QElapsedTimer total;
    QTimer pas;
    QObject::connect(&lien, &Platform::LienMqtt::connecte, &app, [&] {
        if (total.isValid())
            return;
        total.start();
        sim.demarrer();
        pas.start(50);
    });
    QObject::connect(&pas, &QTimer::timeout, &app, [&] {
        sim.pas();
        if (double(total.elapsed()) >= dureeMs) {
            pas.stop();
            std::printf("publiés: %lld messages dont %lld événements en %.1f s\n",
                        static_cast<long long>(sim.publies()),
                        static_cast<long long>(sim.evenements()), total.elapsed() / 1000.0);
            std::fflush(stdout);
            // What libmosquitto still holds goes out before the goodbye.
            QTimer::singleShot(3000, &app, [&] {
                lien.arreter();
                QCoreApplication::quit();
            });
        }
    });
    lien.demarrer(r);
    return QCoreApplication::exec();
}
