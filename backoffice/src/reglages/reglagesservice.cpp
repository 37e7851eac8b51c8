#include "reglages/reglagesservice.h"

#include "platform/profilefile.h"

#include <QFileInfo>

namespace Movendi::Backoffice {

namespace {

struct Lecteur
{
    QString fichier;
    QString erreur;

    QString texte(const char *section, const char *cle, const QString &defaut = {}) const
    {
        const Platform::ProfileValue v =
            Platform::readProfileString(fichier, QLatin1String(section), QLatin1String(cle));
        return v.status == Platform::ProfileStatus::Found && !v.value.isEmpty() ? v.value : defaut;
    }
    int entier(const char *section, const char *cle, int defaut, int min, int max)
    {
        const QString t = texte(section, cle);
        if (t.isEmpty())
            return defaut;
        bool ok = false;
        const int n = t.toInt(&ok);
        if (!ok || n < min || n > max) {
            if (erreur.isEmpty())
                erreur = QStringLiteral("[%1] %2=%3: nombre de %4 à %5 attendu")
                             .arg(QLatin1String(section), QLatin1String(cle), t)
                             .arg(min)
                             .arg(max);
            return defaut;
        }
        return n;
    }
};

} // namespace

LectureReglages lireReglagesService(const QString &fichier)
{
    if (!QFileInfo(fichier).isReadable())
        return {std::nullopt, QStringLiteral("configuration illisible: ") + fichier};
    Lecteur l{fichier, {}};
    ReglagesService r;
    r.mqtt.serveur = l.texte("MQTT", "Serveur");
    r.mqtt.ca = l.texte("MQTT", "CA");
    r.mqtt.port = l.entier("MQTT", "Port", r.mqtt.ca.isEmpty() ? 1883 : 8883, 1, 65535);
    r.mqtt.utilisateur = l.texte("MQTT", "Utilisateur");
    r.mqtt.motDePasse = l.texte("MQTT", "MotDePasse");
    r.mqtt.certificat = l.texte("MQTT", "Certificat");
    r.mqtt.cle = l.texte("MQTT", "Cle");
    r.mqtt.identifiant = QLatin1String(IdentifiantService);
    r.prefixe = l.texte("MQTT", "Prefixe", r.prefixe);
    r.connexion = l.texte("PostgreSQL", "Connexion");
    r.adresseWeb = l.texte("Web", "Adresse", r.adresseWeb);
    r.portWeb = l.entier("Web", "Port", r.portWeb, 1, 65535);
    r.jeton = l.texte("Web", "Jeton");
    r.mail.serveur = l.texte("Email", "SMTP");
    r.mail.port = l.entier("Email", "Port", r.mail.port, 1, 65535);
    r.mail.expediteur = l.texte("Email", "MailFrom", QStringLiteral("movendi-flotte@localhost"));
    r.mail.securite.starttls = l.texte("Email", "STARTTLS") == QLatin1String("OUI");
    r.mail.securite.ca = l.texte("Email", "CA");
    r.mail.securite.utilisateur = l.texte("Email", "Utilisateur");
    r.mail.securite.motDePasse = l.texte("Email", "MotDePasse");
    for (int i = 1; i <= 20; ++i) {
        const QByteArray cle = "Mailto" + QByteArray::number(i);
        if (const QString a = l.texte("Email", cle.constData()); !a.isEmpty())
            r.mail.destinataires << a;
    }
    r.rappelMinutes = l.entier("Alertes", "Rappel", r.rappelMinutes, 1, 100000);
    r.horsLigneMinutes = l.entier("Alertes", "HorsLigneMinutes", r.horsLigneMinutes, 0, 100000);
    r.aucuneVenteHeures = l.entier("Alertes", "AucuneVenteHeures", r.aucuneVenteHeures, 1, 100000);
    r.stockBas = l.entier("Alertes", "StockBas", r.stockBas, 0, 100000);
    r.passeAlertesSecondes = l.entier("Alertes", "PasseSecondes", r.passeAlertesSecondes, 1, 3600);
    if (!l.erreur.isEmpty())
        return {std::nullopt, l.erreur};
    if (r.connexion.isEmpty())
        return {std::nullopt, QStringLiteral("[PostgreSQL] Connexion manque")};
    if (r.mqtt.serveur.isEmpty())
        return {std::nullopt, QStringLiteral("[MQTT] Serveur manque")};
    return {r, {}};
}

} // namespace Movendi::Backoffice
