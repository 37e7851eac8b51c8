#include "config/clesconfiguration.h"

#include "config/fnkestrel.h"
#include "platform/applicationfolder.h"
#include "platform/serialline.h"

#include <limits>

namespace Movendi::Config {

namespace {

QString texte(const char *t)
{
    return QString::fromUtf8(t);
}

} // namespace

const QList<CleConfiguration> &clesConfiguration()
{
    const QString base = QStringLiteral("Base de donnée"), machine = QStringLiteral("Machine"),
                  ports = QStringLiteral("PortCom"), email = QStringLiteral("Email"),
                  ftp = QStringLiteral("FTP"), telecollecte = QStringLiteral("Télécollecte"),
                  flotte = QStringLiteral("Flotte");
    using G = GenreCle;
    static const QList<CleConfiguration> cles = {
        {base, QStringLiteral("Nom"), 0, 0, QStringLiteral("DBMovendi"),
         QStringLiteral("nom de la base (NOM.db dans le dossier)"), G::NomBase},
        {base, QStringLiteral("Serveur"), 0, 0, QStringLiteral("LOCALHOST"),
         QStringLiteral("serveur de la chaîne de connexion (non utilisé par SQLite)"), G::Texte},
        {base, QStringLiteral("Ticket"), 0, 0, QStringLiteral("OUI"),
         QStringLiteral("impression du ticket client"), G::OuiNon},
        {base, QStringLiteral("CheminSauvegarde"), 0, 0, QString(),
         QStringLiteral("dossier où recopier la sauvegarde de la nuit (vide: aucun)"),
         G::DossierCopie},
        {base, QStringLiteral("Moteur"), 0, 0, QStringLiteral("SQLite"),
         QStringLiteral("moteur de base (seul SQLite)"), G::Moteur},
        {QStringLiteral("TVA"), QStringLiteral("Taux"), 0, 0, QStringLiteral("19,6"),
         QStringLiteral("taux de TVA en pour cent"), G::Taux},
        {ports, QStringLiteral("PortModem"), 0, 0, QStringLiteral("3"),
         QStringLiteral("port du modem, sauté par la recherche de l'imprimante"), G::Entier},
        {ports, QStringLiteral("PortTPE"), 0, 0, QStringLiteral("1"),
         QStringLiteral("numéro de port du terminal de paiement"), G::Entier, 1},
        {ports, QStringLiteral("Port"), 1, std::numeric_limits<std::int16_t>::max(),
         texte(Platform::DefaultSerialDevicePrefix) + QStringLiteral("(N-1)"),
         QStringLiteral("périphérique du port N (PortTPE: terminal; 2, 4, 5...: imprimante)"),
         G::Peripherique},
        {machine, QStringLiteral("Indentité Machine"), 0, 0, QString(),
         QStringLiteral("identité du kiosque (tickets, rapports, fichiers)"), G::Texte},
        {machine, QStringLiteral("Location"), 0, 0, QString(),
         QStringLiteral("emplacement du kiosque"), G::Texte},
        {machine, QStringLiteral("IntervalControl"), 0, 0, QStringLiteral("24"),
         QStringLiteral("heures sans vente avant le mail d'activité"), G::Entier, 1},
        {machine, QStringLiteral("ChargementArriere"), 0, 0, QStringLiteral("NON"),
         QStringLiteral("remplissage par l'ouverture arrière"), G::OuiNon},
        {machine, QStringLiteral("Automate"), 0, 0, QStringLiteral("libgrafcet.so"),
         QStringLiteral("bibliothèque du mécanisme, dans le dossier"), G::Bibliotheque},
        {machine, QStringLiteral("CheminEpi"), 0, 0, texte(Platform::DefaultExchangeFolder),
         QStringLiteral("dossier d'échange avec le mécanisme"), G::DossierEpi},
        {machine, QStringLiteral("LCD"), 0, 0, QString(),
         QStringLiteral("port parallèle de l'afficheur (vide: afficheur simulé)"), G::Peripherique},
        {machine, QStringLiteral("BadgePersonnel"), 0, 0, QString(),
         QStringLiteral("badges du personnel demandés par F12 (vide: aucun)"), G::Badges},
        {machine, QStringLiteral("BadgePersonnel"), 1, NombreClesBadges, QString(),
         QStringLiteral("badges de plus (une valeur tient 254 caractères)"), G::Badges},
        {machine, QStringLiteral("ReglerHorloge"), 0, 0, QStringLiteral("NON"),
         QStringLiteral("horloge réglée sur celle du terminal après un débit"), G::OuiNon},
        {telecollecte, QStringLiteral("Debut"), 0, 0, QStringLiteral("02:30"),
         QStringLiteral("début de la fenêtre de télécollecte (exclu)"), G::Heure},
        {telecollecte, QStringLiteral("Fin"), 0, 0, QStringLiteral("02:45"),
         QStringLiteral("fin de la fenêtre de télécollecte (inclus)"), G::Heure},
        {QStringLiteral("Recharges"), QStringLiteral("Reference Prix "), 1, 5, QStringLiteral("0"),
         QStringLiteral("référence d'une recharge proposée (0: aucune)"), G::Entier, 0, 5},
        {email, QStringLiteral("SMTP"), 0, 0, texte(ServeurSmtpParDefaut),
         QStringLiteral("serveur de mail"), G::Obligatoire},
        {email, QStringLiteral("Port"), 0, 0, QString::number(PortSmtpParDefaut),
         QStringLiteral("port du serveur de mail"), G::PortReseau},
        {email, QStringLiteral("STARTTLS"), 0, 0, QStringLiteral("NON"),
         QStringLiteral("TLS avant tout envoi, certificat du serveur vérifié"), G::OuiNon},
        {email, QStringLiteral("CA"), 0, 0, QString(),
         QStringLiteral("certificat d'une autorité du serveur de mail, en plus de celles du "
                        "système"),
         G::Texte},
        {email, QStringLiteral("Utilisateur"), 0, 0, QString(),
         QStringLiteral("compte sur le serveur de mail (vide: aucun; sous TLS seulement)"),
         G::Texte},
        {email, QStringLiteral("MotDePasse"), 0, 0, QString(),
         QStringLiteral("mot de passe du compte de mail"), G::MotDePasse},
        {email, QStringLiteral("MailFrom"), 0, 0, texte(ExpediteurParDefaut),
         QStringLiteral("expéditeur des mails"), G::Adresse},
        {email, QStringLiteral("Mailto"), 1, NombreDestinatairesMail, QString(),
         QStringLiteral("destinataire des mails de supervision"), G::Adresse, 0, 1},
        {email, QStringLiteral("Mailto Rapport Telvio"), 1, 4, QString(),
         QStringLiteral("destinataire comptable (1: remises, 2 à 4: ventes et recharges)"),
         G::Adresse, 0, 4},
        {ftp, QStringLiteral("Serveur"), 0, 0, QString(),
         QStringLiteral("serveur des détails de vente (vide: aucun envoi)"), G::Texte},
        {ftp, QStringLiteral("Utilisateur"), 0, 0, QString(),
         QStringLiteral("compte FTP (vide: anonyme)"), G::Texte},
        {ftp, QStringLiteral("MotDePasse"), 0, 0, QString(),
         QStringLiteral("mot de passe FTP (aucun par défaut)"), G::MotDePasse},
        {ftp, QStringLiteral("Port"), 0, 0, QString::number(PortFtpParDefaut),
         QStringLiteral("port du serveur FTP"), G::PortReseau},
        {ftp, QStringLiteral("FTPS"), 0, 0, QStringLiteral("NON"),
         QStringLiteral("TLS explicite, certificat du serveur vérifié"), G::OuiNon},
        {ftp, QStringLiteral("CA"), 0, 0, QString(),
         QStringLiteral("certificat de l'autorité du serveur FTP (vide: celles du système)"),
         G::Texte},
        {flotte, QStringLiteral("Serveur"), 0, 0, QString(),
         QStringLiteral("broker MQTT de la flotte (vide: pas de flotte)"), G::Texte},
        {flotte, QStringLiteral("Port"), 0, 0, QString::number(PortFlotteParDefaut),
         QStringLiteral("port du broker (8883 par défaut avec CA)"), G::PortReseau},
        {flotte, QStringLiteral("Utilisateur"), 0, 0, QString(),
         QStringLiteral("compte sur le broker (vide: aucun)"), G::Texte},
        {flotte, QStringLiteral("MotDePasse"), 0, 0, QString(),
         QStringLiteral("mot de passe sur le broker"), G::MotDePasse},
        {flotte, QStringLiteral("CA"), 0, 0, QString(),
         QStringLiteral("certificat de l'autorité: lien TLS, nom du broker vérifié"), G::Texte},
        {flotte, QStringLiteral("Certificat"), 0, 0, QString(),
         QStringLiteral("certificat client du kiosque (TLS)"), G::Texte},
        {flotte, QStringLiteral("Cle"), 0, 0, QString(), QStringLiteral("clé du certificat client"),
         G::Texte},
        {flotte, QStringLiteral("Prefixe"), 0, 0, texte(PrefixeFlotteParDefaut),
         QStringLiteral("début de chaque sujet"), G::Texte},
        {flotte, QStringLiteral("Battement"), 0, 0, QString::number(BattementParDefautS),
         QStringLiteral("secondes entre deux états; keep-alive MQTT"), G::Entier, 5},
    };
    return cles;
}

int numeroMembre(const CleConfiguration &famille, const QString &cle)
{
    if (famille.premier == 0 || !cle.startsWith(famille.cle, Qt::CaseInsensitive))
        return 0;
    const QString reste = cle.mid(famille.cle.size());
    bool ok = false;
    const int n = reste.toInt(&ok);
    // The kiosk asks for the number as written by QString::number: no sign, no leading zero.
    return ok && reste == QString::number(n) && n >= famille.premier && n <= famille.dernier ? n
                                                                                             : 0;
}

const CleConfiguration *trouverCle(const QString &section, const QString &cle)
{
    for (const CleConfiguration &c : clesConfiguration()) {
        if (c.section.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        if (c.premier == 0 ? c.cle.compare(cle, Qt::CaseInsensitive) == 0
                           : numeroMembre(c, cle) > 0)
            return &c;
    }
    return nullptr;
}

QString defautCle(const QString &section, const QString &cle)
{
    const CleConfiguration *c = trouverCle(section, cle);
    Q_ASSERT_X(c, "defautCle", "a key the table does not hold");
    if (!c)
        return {};
    if (c->premier == 0)
        return c->defaut;
    const int n = numeroMembre(*c, cle);
    if (c->cle == QLatin1String("Port"))
        return texte(Platform::DefaultSerialDevicePrefix) + QString::number(n - 1);
    if (c->cle == QLatin1String("Mailto"))
        return n == 1 ? texte(DestinataireParDefaut) : QString();
    if (c->cle == QLatin1String("Mailto Rapport Telvio"))
        return texte(DestinatairesRapportParDefaut[n - 1]);
    return c->defaut;
}

QString lireCle(const QString &cheminIni, const QString &section, const QString &cle)
{
    return LireIniString(cheminIni, section, cle, defautCle(section, cle));
}

std::int16_t lireCleEntiere(const QString &cheminIni, const QString &section, const QString &cle)
{
    return LireIniInteger(cheminIni, section, cle, std::int16_t(defautCle(section, cle).toInt()));
}

bool lireCleOuiNon(const QString &cheminIni, const QString &section, const QString &cle)
{
    return lireCle(cheminIni, section, cle) == QLatin1String("OUI");
}

int lirePortReseau(const QString &cheminIni, const QString &section, const QString &cle)
{
    bool ok = false;
    const int port = LireIniString(cheminIni, section, cle, QString()).trimmed().toInt(&ok);
    return ok && port > 0 && port <= 65535 ? port : defautCle(section, cle).toInt();
}

} // namespace Movendi::Config
