#include "config/fnkestrel.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/messagebox.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"

#include <limits>

namespace Movendi::Config {

namespace {
void afficherErreur(const QString &routine, const Journal::ErreurExecution &erreur)
{
    if (State::boitesInterdites()) {
        Journal::SignalerErreur(routine, erreur);
        return;
    }
    Platform::messageBox().show(routine, TexteErreur(erreur.numero(), erreur.description()));
}

Journal::ErreurExecution lectureImpossible(const QString &chemin)
{
    return Journal::Erreurs::accesFichier(chemin, QStringLiteral("lecture impossible"));
}
} // namespace

QString TexteErreur(int numero, const QString &description)
{
    const QChar cr(13);
    return QStringLiteral("Erreur N°:") + cr + QString::number(numero) + cr + description + cr +
           QStringLiteral("Appuyez sur (A) pour continuer");
}

QString LireIniString(const QString &chemin, const QString &section, const QString &cle,
                      const QString &defaut)
{
    const Platform::ProfileValue lu = Platform::readProfileString(chemin, section, cle);
    switch (lu.status) {
    case Platform::ProfileStatus::Found:
        return lu.value.trimmed();
    case Platform::ProfileStatus::Absent:
        return defaut.trimmed().left(Platform::ProfileValueMaxLength).trimmed();
    case Platform::ProfileStatus::Unreadable:
        break;
    }
    afficherErreur(QStringLiteral("LireIniString"), lectureImpossible(chemin));
    return {};
}

void EcrireIniString(const QString &chemin, const QString &section, const QString &cle,
                     const QString &valeur)
{
    QString raison;
    if (!Platform::writeProfileString(chemin, section, cle, valeur, &raison))
        afficherErreur(QStringLiteral("EcrireIniString"),
                       Journal::Erreurs::accesFichier(chemin, raison));
}

std::int16_t LireIniInteger(const QString &chemin, const QString &section, const QString &cle,
                            std::int16_t defaut)
{
    Platform::ProfileStatus statut;
    const std::int32_t valeur = Platform::readProfileInt(chemin, section, cle, defaut, &statut);
    if (statut == Platform::ProfileStatus::Unreadable) {
        afficherErreur(QStringLiteral("LireIniInteger"), lectureImpossible(chemin));
        return 0;
    }
    if (valeur < std::numeric_limits<std::int16_t>::min() ||
        valeur > std::numeric_limits<std::int16_t>::max()) {
        afficherErreur(QStringLiteral("LireIniInteger"), Journal::Erreurs::depassement());
        return 0;
    }
    return static_cast<std::int16_t>(valeur);
}

} // namespace Movendi::Config
