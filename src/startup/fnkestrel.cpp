#include "fnkestrel.h"

#include "ecrans.h"
#include "erreur.h"
#include "etatdemarrage.h"
#include "journal.h"
#include "platform/messagebox.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "platform/x11windows.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <limits>

namespace Movendi::Startup {

namespace {
void afficherErreur(const QString &routine, const ErreurExecution &erreur)
{
    if (etat().VenteEnCours) {
        SignalerErreur(routine, erreur);
        return;
    }
    Platform::messageBox().show(routine, TexteErreur(erreur.numero(), erreur.description()));
}

ErreurExecution lectureImpossible(const QString &chemin)
{
    return Erreurs::accesFichier(chemin, QStringLiteral("lecture impossible"));
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
        afficherErreur(QStringLiteral("EcrireIniString"), Erreurs::accesFichier(chemin, raison));
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
        afficherErreur(QStringLiteral("LireIniInteger"), Erreurs::depassement());
        return 0;
    }
    return static_cast<std::int16_t>(valeur);
}

quint32 TrouverFenetre(const QString &texte)
{
    if (!Platform::runningOnX11())
        return 0;
    quint32 trouvee = 0;
    for (const Platform::TopLevelWindow &fenetre : Platform::x11TopLevelWindows()) {
        if (fenetre.caption.left(119).contains(texte, Qt::CaseInsensitive))
            trouvee = fenetre.id;
    }
    return trouvee;
}

void RelancerRetourAutomatique()
{
    if (!etat().RetourAccueilEnCours && ecrans())
        ecrans()->relancerTimerRetourAutomatique();
}

void ArreterRetourAutomatique()
{
    if (!etat().RetourAccueilEnCours && ecrans())
        ecrans()->arreterTimerRetourAutomatique();
}

void RetournerAccueil()
{
    Ecrans *e = ecrans();
    if (!e)
        return;
    e->cacherEcransVente();
    e->dechargerRemplissage();
    e->montrerAccueil();
    etat().RetourAccueilEnCours = true;
    if (QWidget *accueil = e->accueil(); accueil && accueil->isVisible()) {
        accueil->activateWindow();
        accueil->setFocus();
        MettreAuPremierPlan(accueil);
    }
    etat().RetourAccueilEnCours = false;
}

void MettreAuPremierPlan(QWidget *ecran)
{
    if (!ecran)
        return;
    if (!(ecran->windowFlags() & Qt::WindowStaysOnTopHint)) {
        // Changing window flags hides the window: show it again where it was.
        const bool visible = ecran->isVisible();
        ecran->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (visible)
            ecran->show();
    }
    if (!ecran->isVisible())
        ecran->show();
    ecran->raise();
    ecran->activateWindow();
}

void CacherSouris()
{
    try {
        const QScreen *ecran = QGuiApplication::primaryScreen();
        if (!ecran)
            throw ErreurExecution(Erreurs::ErreurInterne, QStringLiteral("aucun écran"));
        // Beyond the last column: the pointer rests at the top-right corner.
        const QRect g = ecran->geometry();
        QCursor::setPos(g.right(), g.top());
    } catch (const ErreurExecution &erreur) {
        SignalerErreur(QStringLiteral("CacherSouris"), erreur);
    }
}

} // namespace Movendi::Startup
