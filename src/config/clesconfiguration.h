#pragma once

#include <QList>
#include <QString>

#include <cstdint>

namespace Movendi::Config {

// The site's own values, taken when RURUDIZ.ini names none.
inline constexpr const char *ServeurSmtpParDefaut = "smtp.movendi-exploitation.fr";
inline constexpr const char *ExpediteurParDefaut = "distributeur@movendi-exploitation.fr";
inline constexpr const char *DestinataireParDefaut = "supervision@movendi-exploitation.fr";
inline constexpr const char *DestinatairesRapportParDefaut[] = {
    "remises@movendi-exploitation.fr", "comptabilite@movendi-exploitation.fr",
    "direction@movendi-exploitation.fr", "ventes@movendi-exploitation.fr"};
inline constexpr int PortSmtpParDefaut = 25;
inline constexpr int NombreDestinatairesMail = 20; // "Mailto1" to "Mailto20"
// "BadgePersonnel", then "BadgePersonnel1" to "BadgePersonnel50": a value holds 254 characters,
// two or three badges.
inline constexpr int NombreClesBadges = 50;
inline constexpr int PortFtpParDefaut = 21;
inline constexpr int PortFlotteParDefaut = 1883;
inline constexpr int PortFlotteTlsParDefaut = 8883;
inline constexpr const char *PrefixeFlotteParDefaut = "movendi/v1";
inline constexpr int BattementParDefautS = 60;

// How the kiosk uses a value, hence what a valid one is.
enum class GenreCle {
    Texte,        // any text
    Obligatoire,  // any text but an empty one
    OuiNon,       // "OUI" switches on; anything else is off
    Entier,       // the 16-bit integer read; empty: the default
    PortReseau,   // a TCP port 1-65535; anything else: the default
    Heure,        // H:mm or H:mm:ss; anything else: the default
    Taux,         // a percentage, decimal comma or point; anything else: the default
    Peripherique, // a device path; empty: the default device (or the simulated display)
    Bibliotheque, // a library file in the application folder; empty: the default
    DossierEpi,   // a folder, relative to the application folder; empty: the default
    DossierCopie, // a writable folder; empty: none
    Moteur,       // "SQLite" only
    NomBase,      // the store's base name: NAME.db in the application folder
    Adresse,      // a mail address; empty: none
    MotDePasse,   // never shown
    Badges        // staff badges, name:salt:hash entries; empty: F12 needs none
};

// One RURUDIZ.ini key the kiosk reads, or a numbered family of them ("Mailto1" to "Mailto20").
struct CleConfiguration
{
    QString section;
    QString cle;     // the key, or the family's prefix
    int premier = 0; // a family: its numbers; 0 for a single key
    int dernier = 0;
    QString defaut; // what the kiosk takes when the key is absent, as shown to staff
    QString role;   // what the kiosk does with it, in a few words
    GenreCle genre = GenreCle::Texte;
    int minimum = 0;  // Entier: the smallest value the kiosk can use
    int toujours = 0; // a family: the numbers the check shows even when absent (1 to toujours)
};

// Every key the kiosk reads from RURUDIZ.ini, each once, by section in the order the staff
// tool's check shows them. The kiosk's reads take their defaults from here.
const QList<CleConfiguration> &clesConfiguration();

// The key, or the family a numbered key belongs to ("Mailto12"); null when the kiosk never
// reads it.
const CleConfiguration *trouverCle(const QString &section, const QString &cle);
// The number of a family's key ("Mailto12" gives 12), 0 when the key is not one of it.
int numeroMembre(const CleConfiguration &famille, const QString &cle);
// What the kiosk takes when the key is absent, a family's members included.
QString defautCle(const QString &section, const QString &cle);

// The kiosk's reads through the table (LireIniString and LireIniInteger with the key's default).
QString lireCle(const QString &cheminIni, const QString &section, const QString &cle);
std::int16_t lireCleEntiere(const QString &cheminIni, const QString &section, const QString &cle);
// True exactly when the value is "OUI".
bool lireCleOuiNon(const QString &cheminIni, const QString &section, const QString &cle);
// A TCP port read as text (a 16-bit read would not hold ports above 32767); the default when
// it is not one.
int lirePortReseau(const QString &cheminIni, const QString &section, const QString &cle);

} // namespace Movendi::Config
