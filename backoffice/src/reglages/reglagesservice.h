#pragma once

#include "mail/email.h"
#include "platform/lienmqtt.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace Movendi::Backoffice {

// Where the alerts are mailed: [Email] as the kiosk reads it. No server, no mail.
struct ReglagesMail
{
    QString serveur;
    int port = 25;
    QString expediteur;
    QStringList destinataires;   // Mailto1 to Mailto20, those given
    Mail::SecuriteSmtp securite; // STARTTLS, CA, Utilisateur, MotDePasse
};

// The service's profile file: [MQTT], [PostgreSQL], [Web], [Email], [Alertes].
struct ReglagesService
{
    Platform::ReglagesLienMqtt mqtt;
    QString prefixe = QStringLiteral("movendi/v1");
    // A libpq connection string ("host=... port=... dbname=... user=...").
    QString connexion;
    QString adresseWeb = QStringLiteral("127.0.0.1");
    int portWeb = 8080;
    QString jeton;
    ReglagesMail mail;
    int rappelMinutes = 60;
    int horsLigneMinutes = 3;
    int aucuneVenteHeures = 24;
    int stockBas = 2;
    // How often the alerts are judged.
    int passeAlertesSecondes = 30;

    // What it subscribes: every kiosk's every topic.
    QString filtre() const { return prefixe + QStringLiteral("/+/#"); }
};

struct LectureReglages
{
    std::optional<ReglagesService> reglages;
    QString erreur; // why there are none
};

// The file, or why it cannot be used (absent, no [PostgreSQL] Connexion, no [MQTT] Serveur, a
// number out of range).
LectureReglages lireReglagesService(const QString &fichier);

// The client id under which the broker keeps the service's session.
inline constexpr const char *IdentifiantService = "movendi-flotte";

} // namespace Movendi::Backoffice
