#include "utilities/fonctionutilitaires.h"

#include "platform/applicationfolder.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/seams.h"
#include "platform/watchdog.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace Movendi::Utilities {

QString AjouterAntislash(const QString &dossier)
{
    return dossier.endsWith(QLatin1Char('/')) ? dossier : dossier + QLatin1Char('/');
}

bool FichierExiste(const QString &dossier, const QString &nomFichier)
{
    return Platform::findFileNoCase(AjouterAntislash(dossier), nomFichier).has_value();
}

bool DossierAccessible(const QString &dossier)
{
    if (dossier.isEmpty() || !QFileInfo(dossier).isDir())
        return false;
    QFile test(AjouterAntislash(dossier) + QStringLiteral("test.tst"));
    if (!test.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    test.close();
    return test.remove();
}

QString DossierApplication()
{
    return AjouterAntislash(State::etat().dossierApplication.trimmed());
}

QString DossierEchange()
{
    if (!State::etat().cheminEpi.isEmpty())
        return State::etat().cheminEpi;
    return Platform::exchangeFolder(
        State::etat().dossierApplication,
        QDir(State::etat().dossierApplication).filePath(QStringLiteral("RURUDIZ.ini")));
}

QString SupprimerEspaces(const QString &texte)
{
    QString resultat = texte;
    resultat.remove(QLatin1Char(' '));
    return resultat;
}

void Attendre(double secondes)
{
    if (secondes > 0)
        Platform::sleepFed(std::llround(secondes * 1000.0));
}

void AttendreInterruptible(double secondes)
{
    Platform::Clock &horloge = Platform::clock();
    const qint64 debut = horloge.monotonicMs();
    const qint64 duree = std::llround(qMax(0.0, secondes) * 1000.0);
    do {
        const qint64 reste = duree - (horloge.monotonicMs() - debut);
        horloge.processEventsFor(qBound<qint64>(qint64(0), reste, qint64(TrancheAttenteMs)));
        if (!State::ecransStables())
            return;
    } while (horloge.monotonicMs() - debut < duree);
}

} // namespace Movendi::Utilities
