#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponse;

namespace Movendi::Backoffice {

class LectureFlotte;
class Sessions;
struct Session;

// The operators' pages, plain HTML and CSS without script: /connexion (log in), /flotte (one
// row per kiosk), /kiosques/K (its stock by reference, recent sales, remittances with their
// difference, alarms, and a button per command with the kiosk's answers), /alertes
// (?toutes=1 also the closed ones), /deconnexion. Every page but the login needs a session;
// every form carries a token the server checks (the session's, or before it the login's own
// cookie) and a form without it is refused with 403.
class PagesFlotte
{
public:
    // Checks a name and password (the slow hash); throws ErreurBase.
    using Authentifier = std::function<bool(const QString &nom, const QString &motDePasse)>;

    PagesFlotte(LectureFlotte &lecture, Sessions &sessions, Authentifier authentifier);

    void installer(QHttpServer &serveur);

    QHttpServerResponse connexion(const QHttpServerRequest &requete);
    QHttpServerResponse seConnecter(const QHttpServerRequest &requete);
    QHttpServerResponse seDeconnecter(const QHttpServerRequest &requete);
    QHttpServerResponse flotte(const QHttpServerRequest &requete);
    QHttpServerResponse kiosque(const QString &nom, const QHttpServerRequest &requete);
    QHttpServerResponse commander(const QString &nom, const QHttpServerRequest &requete);
    QHttpServerResponse alertes(const QHttpServerRequest &requete);

private:
    // The session, or none (the page then sends to the login).
    std::optional<Session> session(const QHttpServerRequest &requete);
    // The session, when the posted form carries its token.
    std::optional<Session> sessionDuFormulaire(const QHttpServerRequest &requete);

    LectureFlotte &m_lecture;
    Sessions &m_sessions;
    Authentifier m_authentifier;
};

// Text made safe inside HTML elements and attribute values.
QString echapperHtml(const QString &texte);

} // namespace Movendi::Backoffice
