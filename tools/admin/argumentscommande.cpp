#include "argumentscommande.h"

#include "config/fnkestrel.h"
#include "platform/filelookup.h"
#include "state/etatdemarrage.h"

#include <QDir>
#include <QTextStream>

namespace Movendi::Admin {

ArgumentsCommande::ArgumentsCommande(const QStringList &arguments, const QStringList &avecValeur,
                                     const QStringList &seules, qsizetype minimum,
                                     qsizetype maximum)
{
    for (qsizetype i = 0; i < arguments.size() && m_erreur.isEmpty(); ++i) {
        const QString &a = arguments.at(i);
        if (!a.startsWith(QLatin1String("--"))) {
            m_valeurs.append(a);
            continue;
        }
        if (m_options.contains(a)) {
            m_erreur = QStringLiteral("option %1 donnée deux fois").arg(a);
        } else if (seules.contains(a)) {
            m_options.insert(a, QString());
        } else if (!avecValeur.contains(a)) {
            m_erreur = QStringLiteral("option inconnue: %1").arg(a);
        } else if (i + 1 >= arguments.size()) {
            m_erreur = QStringLiteral("l'option %1 attend une valeur").arg(a);
        } else {
            m_options.insert(a, arguments.at(++i));
        }
    }
    if (!m_erreur.isEmpty())
        return;
    if (m_valeurs.size() < minimum)
        m_erreur = m_valeurs.isEmpty() ? QStringLiteral("dossier d'application manquant")
                                       : QStringLiteral("argument manquant");
    else if (m_valeurs.size() > maximum)
        m_erreur = QStringLiteral("argument en trop: %1").arg(m_valeurs.at(maximum));
}

bool ArgumentsCommande::valides(QTextStream &err) const
{
    if (!m_erreur.isEmpty())
        err << "erreur: " << m_erreur << '\n';
    return m_erreur.isEmpty();
}

QString ArgumentsCommande::dossier() const
{
    return m_valeurs.isEmpty() ? QString() : QDir(m_valeurs.constFirst()).absolutePath();
}

std::optional<QDate> lireJour(const QString &texte)
{
    const QDate jour = QDate::fromString(texte, QLatin1String(FormatJour));
    if (!jour.isValid())
        return std::nullopt;
    return jour;
}

bool pointerDossier(const QString &dossier, QTextStream &err)
{
    if (!QDir(dossier).exists()) {
        err << "erreur: dossier introuvable: " << dossier << '\n';
        return false;
    }
    const std::optional<QString> ini =
        Platform::findFileNoCase(dossier, QStringLiteral("RURUDIZ.ini"));
    if (!ini) {
        err << "erreur: pas de configuration RURUDIZ.ini dans " << dossier << '\n';
        return false;
    }
    State::EtatDemarrage &e = State::etat();
    e.dossierApplication = dossier;
    e.CheminIni = QDir(dossier).filePath(*ini);
    e.NomBase = Config::LireIniString(e.CheminIni, QStringLiteral("Base de donnée"),
                                      QStringLiteral("Nom"), QStringLiteral("DBMovendi"));
    return true;
}

} // namespace Movendi::Admin
