#include "config/reglagesflotte.h"

#include "config/clesconfiguration.h"
#include "config/fnkestrel.h"

namespace Movendi::Config {

namespace {

const QString Section = QStringLiteral("Flotte");

QString lire(const QString &ini, const char *cle)
{
    return lireCle(ini, Section, QString::fromLatin1(cle)).trimmed();
}

} // namespace

QString ReglagesFlotte::sujet(const QString &quoi) const
{
    return prefixe + QLatin1Char('/') + kiosque + QLatin1Char('/') + quoi;
}

QString nomKiosque(const QString &identiteMachine)
{
    QString nom;
    nom.reserve(identiteMachine.size());
    for (const QChar c : identiteMachine) {
        const char16_t u = c.unicode();
        const bool permis = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                            (u >= '0' && u <= '9') || u == '.' || u == '_' || u == '-';
        nom += permis ? c : QLatin1Char('_');
    }
    return nom;
}

std::optional<ReglagesFlotte> lireReglagesFlotte(const QString &cheminIni,
                                                 const QString &identiteMachine)
{
    ReglagesFlotte r;
    r.lien.serveur = lire(cheminIni, "Serveur");
    if (r.lien.serveur.isEmpty())
        return std::nullopt;
    r.lien.ca = lire(cheminIni, "CA");
    // The default depends on TLS: only a port actually written overrides it.
    const bool portDonne =
        !LireIniString(cheminIni, Section, QStringLiteral("Port"), QString()).trimmed().isEmpty();
    r.lien.port = portDonne || r.lien.ca.isEmpty()
                      ? lirePortReseau(cheminIni, Section, QStringLiteral("Port"))
                      : PortFlotteTlsParDefaut;
    r.lien.utilisateur = lire(cheminIni, "Utilisateur");
    r.lien.motDePasse = lireCle(cheminIni, Section, QStringLiteral("MotDePasse"));
    r.lien.certificat = lire(cheminIni, "Certificat");
    r.lien.cle = lire(cheminIni, "Cle");
    r.prefixe = lire(cheminIni, "Prefixe");
    while (r.prefixe.endsWith(QLatin1Char('/')))
        r.prefixe.chop(1);
    if (r.prefixe.isEmpty())
        r.prefixe = QString::fromLatin1(PrefixeFlotteParDefaut);
    // Read as text: a bad value gives the default, never a box at start-up. MQTT's keep-alive
    // holds at most 65535 s.
    bool ok = false;
    const int battement = lire(cheminIni, "Battement").toInt(&ok);
    r.battementS = ok && battement >= 5 && battement <= 65535 ? battement : BattementParDefautS;
    r.kiosque = nomKiosque(identiteMachine);
    r.lien.identifiant = r.kiosque;
    r.lien.keepAliveS = r.battementS;
    r.lien.sujetTestament = r.sujet(QStringLiteral("presence"));
    r.lien.testament = "hors-ligne";
    return r;
}

} // namespace Movendi::Config
