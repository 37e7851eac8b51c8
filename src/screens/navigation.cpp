#include "screens/navigation.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "platform/x11windows.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace Movendi::Screens {

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

void RetournerAccueil()
{
    State::Ecrans *e = State::ecrans();
    if (!e)
        return;
    e->cacherEcransVente();
    e->dechargerRemplissage();
    e->montrerAccueil();
    const State::GardeRetourAccueil garde;
    if (QWidget *accueil = e->accueil(); accueil && accueil->isVisible()) {
        accueil->activateWindow();
        accueil->setFocus();
        MettreAuPremierPlan(accueil);
    }
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
            throw Journal::ErreurExecution(Journal::Erreurs::ErreurInterne,
                                           QStringLiteral("aucun écran"));
        // Beyond the last column: the pointer rests at the top-right corner.
        const QRect g = ecran->geometry();
        QCursor::setPos(g.right(), g.top());
    } catch (const Journal::ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("CacherSouris"), erreur);
    }
}

} // namespace Movendi::Screens
