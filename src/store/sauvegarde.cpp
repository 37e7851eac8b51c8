#include "store/sauvegarde.h"

#include "config/clesconfiguration.h"
#include "config/fnkestrel.h"
#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/filelookup.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Movendi::Store {

namespace {

void supprimerSiPresent(const QString &dossier, const QString &nom)
{
    if (const auto trouve = Platform::findFileNoCase(dossier, nom)) {
        QFile ancien(QDir(dossier).filePath(*trouve));
        if (!ancien.remove())
            throw Journal::Erreurs::accesFichier(ancien.fileName(), ancien.errorString());
    }
}

// Replaces the file by the finished copy in one step, so that a failed backup never leaves the
// kiosk without the previous one.
void remplacer(const QString &provisoire, const QString &dossier, const QString &nom)
{
    supprimerSiPresent(dossier, nom);
    QFile fichier(provisoire);
    if (!fichier.rename(QDir(dossier).filePath(nom)))
        throw Journal::Erreurs::accesFichier(provisoire, fichier.errorString());
}

} // namespace

QString NomFichierSauvegarde()
{
    return QStringLiteral("Sauvegarde") + State::etat().NomBase + QStringLiteral(".dat");
}

QString DossierSauvegarde()
{
    // A path without its spaces that names a plain file: never an ordinary folder.
    const QString sansEspaces = Utilities::SupprimerEspaces(State::etat().dossierApplication);
    if (QFileInfo(sansEspaces).isFile())
        return sansEspaces;
    return Utilities::DossierEchange();
}

void SauvegarderDatabase()
{
    try {
        const QString dossier = DossierSauvegarde();
        const QString nom = NomFichierSauvegarde();
        if (!QDir().mkpath(dossier))
            throw Journal::Erreurs::accesFichier(
                dossier, QStringLiteral("dossier de sauvegarde impossible à créer"));

        const QString provisoire = QDir(dossier).filePath(nom + QStringLiteral(".tmp"));
        QFile::remove(provisoire);
        {
            StoreDatabase base;
            base.executer(QStringLiteral("VACUUM INTO ?"), {provisoire});
        }
        remplacer(provisoire, dossier, nom);

        const QString copie =
            Config::lireCle(State::etat().CheminIni, QStringLiteral("Base de donnée"),
                            QStringLiteral("CheminSauvegarde"));
        if (copie.isEmpty() || !Utilities::DossierAccessible(copie))
            return;
        supprimerSiPresent(copie, nom);
        Utilities::Attendre(0.5);
        const QString copieProvisoire =
            Utilities::AjouterAntislash(copie) + nom + QStringLiteral(".tmp");
        QFile::remove(copieProvisoire);
        if (!QFile::copy(QDir(dossier).filePath(nom), copieProvisoire))
            throw Journal::Erreurs::accesFichier(copieProvisoire,
                                                 QStringLiteral("copie impossible"));
        remplacer(copieProvisoire, copie, nom);
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("SauvegarderDatabase"), erreur);
    }
}

} // namespace Movendi::Store
