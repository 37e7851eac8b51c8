#include "fonctionutilitaires.h"

#include "erreur.h"
#include "etatdemarrage.h"
#include "journal.h"
#include "platform/applicationfolder.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/seams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cmath>

namespace Movendi::Startup {

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
    return AjouterAntislash(etat().dossierApplication.trimmed());
}

QString DossierEchange()
{
    if (!etat().cheminEpi.isEmpty())
        return etat().cheminEpi;
    return Platform::exchangeFolder(
        etat().dossierApplication,
        QDir(etat().dossierApplication).filePath(QStringLiteral("RURUDIZ.ini")));
}

QString SupprimerEspaces(const QString &texte)
{
    QString resultat = texte;
    resultat.remove(QLatin1Char(' '));
    return resultat;
}

QString ConvertNullStr(const QVariant &valeur)
{
    if (valeur.isNull())
        return {};
    if (!valeur.canConvert<QString>()) {
        SignalerErreur(QStringLiteral("ConvertNullStr"),
                       Erreurs::typeIncompatible(QLatin1String(valeur.typeName())));
        return {};
    }
    return valeur.toString();
}

double ConvertNullDbl(const QVariant &valeur)
{
    if (valeur.isNull())
        return 0;
    if (valeur.typeId() == QMetaType::QString || valeur.typeId() == QMetaType::QByteArray) {
        const QString texte = valeur.toString().trimmed();
        if (texte.isEmpty())
            return 0;
        bool ok = false;
        double nombre = QLocale(QLocale::French, QLocale::France).toDouble(texte, &ok);
        if (!ok)
            nombre = QLocale::c().toDouble(texte, &ok);
        if (!ok)
            throw Erreurs::typeIncompatible(texte);
        return nombre;
    }
    bool ok = false;
    const double nombre = valeur.toDouble(&ok);
    if (!ok)
        throw Erreurs::typeIncompatible(QLatin1String(valeur.typeName()));
    return nombre;
}

void Attendre(double secondes)
{
    if (secondes > 0)
        Platform::clock().sleepMs(std::llround(secondes * 1000.0));
}

void AttendreInterruptible(double secondes)
{
    Platform::Clock &horloge = Platform::clock();
    const qint64 debut = horloge.monotonicMs();
    const qint64 duree = std::llround(qMax(0.0, secondes) * 1000.0);
    do {
        const qint64 reste = duree - (horloge.monotonicMs() - debut);
        horloge.processEventsFor(qBound<qint64>(qint64(0), reste, qint64(TrancheAttenteMs)));
        if (etat().RetourAccueilEnCours)
            return;
    } while (horloge.monotonicMs() - debut < duree);
}

} // namespace Movendi::Startup
