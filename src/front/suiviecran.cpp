#include "front/suiviecran.h"

#include "front/fnacceuil.h"
#include "front/kioskscreens.h"
#include "media/frmvideo.h"
#include "platform/clock.h"
#include "platform/seams.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"
#include "state/disponibilite.h"
#include "stock/frmremplissage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace Movendi::Front {

namespace {

bool visible(const QWidget *w)
{
    return w && w->isVisible();
}

} // namespace

QString ecranCourant(const KioskScreens &ecrans)
{
    if (visible(ecrans.frmRemplissage()))
        return QStringLiteral("remplissage");
    if (visible(ecrans.frmPayment()))
        return QStringLiteral("paiement");
    if (visible(ecrans.frmChoix()))
        return QStringLiteral("choix");
    if (ecrans.fnAcceuil() && visible(ecrans.fnAcceuil()->lecteur()))
        return QStringLiteral("film");
    if (!State::disponibilite().disponible())
        return QStringLiteral("hors-service");
    return QStringLiteral("accueil");
}

SuiviEcran::SuiviEcran(std::function<void()> change, QObject *parent)
    : QObject(parent), m_change(std::move(change))
{
    QCoreApplication::instance()->installEventFilter(this);
    connect(&State::disponibilite(), &State::Disponibilite::changee, this, &SuiviEcran::planifier);
}

SuiviEcran::~SuiviEcran()
{
    if (m_passe)
        Platform::clock().cancel(m_passe);
}

bool SuiviEcran::eventFilter(QObject *objet, QEvent *evenement)
{
    const QEvent::Type type = evenement->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && objet->isWidgetType() &&
        static_cast<QWidget *>(objet)->isWindow())
        planifier();
    return false;
}

void SuiviEcran::planifier()
{
    if (m_passe)
        return;
    m_passe = Platform::clock().callAfter(0, [this] {
        m_passe = 0;
        m_change();
    });
}

} // namespace Movendi::Front
