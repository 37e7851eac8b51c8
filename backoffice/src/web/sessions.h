#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

class QHttpServerRequest;

namespace Movendi::Backoffice {

// An operator logged in: who, the token every form and command of theirs must carry, and when
// the session was opened and last used.
struct Session
{
    QString operateur;
    QByteArray jetonFormulaire;
    QDateTime ouverte;
    QDateTime utilisee;
};

// The operators' sessions, in memory (a restart of the service asks everyone to log in again).
// A session ends after InactiviteMaxS without a request, or DureeMaxS after it opened, or when
// the operator logs out. Failed logins are counted per address: past EchecsMax in
// FenetreEchecsS that address is refused until the window passes.
class Sessions
{
public:
    static constexpr qint64 InactiviteMaxS = 30 * 60;
    static constexpr qint64 DureeMaxS = 12 * 3600;
    static constexpr int EchecsMax = 10;
    static constexpr qint64 FenetreEchecsS = 5 * 60;
    static constexpr int SessionsMax = 1000;
    static constexpr const char *Cookie = "movendi_session";
    // The login form's own token, before any session: the form's field must match it.
    static constexpr const char *CookieConnexion = "movendi_connexion";

    // A new session for the operator; its identifier, for the cookie.
    QByteArray ouvrir(const QString &operateur, const QDateTime &maintenant);
    // The session of that identifier, still valid (and marked used now); none otherwise.
    std::optional<Session> valider(const QByteArray &identifiant, const QDateTime &maintenant);
    void fermer(const QByteArray &identifiant);
    // The session the request's cookie names, if valid.
    std::optional<Session> deRequete(const QHttpServerRequest &requete,
                                     const QDateTime &maintenant);

    bool connexionPermise(const QString &adresse, const QDateTime &maintenant);
    void echecConnexion(const QString &adresse, const QDateTime &maintenant);

private:
    void purger(const QDateTime &maintenant);

    QHash<QByteArray, Session> m_sessions;
    struct Echecs
    {
        int nombre = 0;
        QDateTime premier;
    };
    QHash<QString, Echecs> m_echecs;
};

// 32 random bytes from the system's generator, base64url without padding.
QByteArray jetonAleatoire();
// Compared in full whatever differs first, not to tell how much of it was right.
bool egauxEnTempsConstant(const QByteArray &a, const QByteArray &b);
// A cookie's value from the request's Cookie header; empty when it is not there.
QByteArray valeurCookie(const QHttpServerRequest &requete, const QByteArray &nom);

} // namespace Movendi::Backoffice
