#include "web/sessions.h"

#include <QHttpServerRequest>
#include <QRandomGenerator>

namespace Movendi::Backoffice {

QByteArray jetonAleatoire()
{
    QByteArray octets(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(octets.data()),
                                          octets.size() / int(sizeof(quint32)));
    return octets.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

bool egauxEnTempsConstant(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size() || a.isEmpty())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return difference == 0;
}

QByteArray valeurCookie(const QHttpServerRequest &requete, const QByteArray &nom)
{
    const QByteArray entete = requete.value("Cookie");
    for (const QByteArray &morceau : entete.split(';')) {
        const QByteArray paire = morceau.trimmed();
        const qsizetype egal = paire.indexOf('=');
        if (egal > 0 && paire.left(egal) == nom)
            return paire.mid(egal + 1);
    }
    return {};
}

QByteArray Sessions::ouvrir(const QString &operateur, const QDateTime &maintenant)
{
    purger(maintenant);
    // Too many open: the least recently used goes.
    while (m_sessions.size() >= SessionsMax) {
        auto plusVieille = m_sessions.begin();
        for (auto it = m_sessions.begin(); it != m_sessions.end(); ++it)
            if (it->utilisee < plusVieille->utilisee)
                plusVieille = it;
        m_sessions.erase(plusVieille);
    }
    const QByteArray identifiant = jetonAleatoire();
    m_sessions.insert(identifiant, Session{operateur, jetonAleatoire(), maintenant, maintenant});
    return identifiant;
}

std::optional<Session> Sessions::valider(const QByteArray &identifiant, const QDateTime &maintenant)
{
    const auto it = m_sessions.find(identifiant);
    if (identifiant.isEmpty() || it == m_sessions.end())
        return std::nullopt;
    if (it->utilisee.secsTo(maintenant) >= InactiviteMaxS ||
        it->ouverte.secsTo(maintenant) >= DureeMaxS) {
        m_sessions.erase(it);
        return std::nullopt;
    }
    it->utilisee = maintenant;
    return *it;
}

void Sessions::fermer(const QByteArray &identifiant)
{
    m_sessions.remove(identifiant);
}

std::optional<Session> Sessions::deRequete(const QHttpServerRequest &requete,
                                           const QDateTime &maintenant)
{
    return valider(valeurCookie(requete, Cookie), maintenant);
}

bool Sessions::connexionPermise(const QString &adresse, const QDateTime &maintenant)
{
    const auto it = m_echecs.find(adresse);
    if (it == m_echecs.end())
        return true;
    if (it->premier.secsTo(maintenant) >= FenetreEchecsS) {
        m_echecs.erase(it);
        return true;
    }
    return it->nombre < EchecsMax;
}

void Sessions::echecConnexion(const QString &adresse, const QDateTime &maintenant)
{
    Echecs &e = m_echecs[adresse];
    if (e.nombre == 0 || e.premier.secsTo(maintenant) >= FenetreEchecsS)
        e = Echecs{0, maintenant};
    ++e.nombre;
    if (m_echecs.size() > SessionsMax * 10)
        purger(maintenant);
}

void Sessions::purger(const QDateTime &maintenant)
{
    for (auto it = m_sessions.begin(); it != m_sessions.end();)
        it = it->utilisee.secsTo(maintenant) >= InactiviteMaxS ||
                     it->ouverte.secsTo(maintenant) >= DureeMaxS
                 ? m_sessions.erase(it)
                 : std::next(it);
    for (auto it = m_echecs.begin(); it != m_echecs.end();)
        it = it->premier.secsTo(maintenant) >= FenetreEchecsS ? m_echecs.erase(it) : std::next(it);
}

} // namespace Movendi::Backoffice
