#include "client/clientscripte.h"

#include "front/fnacceuil.h"
#include "front/kioskscreens.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace Movendi::Client {

ClientScripte::ClientScripte(Front::KioskScreens &ecrans, std::function<void()> apresToucher)
    : m_ecrans(ecrans), m_apresToucher(std::move(apresToucher))
{
    if (!m_apresToucher)
        m_apresToucher = [] { QTest::qWait(150); };
}

bool ClientScripte::toucher(QWidget *controle) const
{
    if (!controle)
        return false;
    QTest::mouseClick(controle, Qt::LeftButton);
    m_apresToucher();
    return true;
}

bool ClientScripte::toucherTuile(int index) const
{
    return toucher(controle<QLabel>(m_ecrans.fnAcceuil(), QStringLiteral("Image1"), index));
}

bool ClientScripte::ajouterRecharge() const
{
    return toucher(controle<QPushButton>(m_ecrans.frmChoix(), QStringLiteral("Command1")));
}

bool ClientScripte::payer(const Suivi &suivi) const
{
    Sale::FrmPayment *ecran = m_ecrans.frmPayment();
    auto *valider = controle<QPushButton>(m_ecrans.frmChoix(), QStringLiteral("CmdVal"));
    if (!ecran || !valider)
        return false;
    // A payment that failed may leave its screen up: its end is enough then.
    bool termine = false;
    const QMetaObject::Connection fin =
        QObject::connect(ecran, &Sale::FrmPayment::paiementTermine, [&] { termine = true; });
    QTimer veille;
    QObject::connect(&veille, &QTimer::timeout, [&] {
        QPushButton *porte = ecran->CmdTicketFermPorte();
        if (suivi.prendre && porte->isVisible() && !ecran->FermetureDemandee) {
            if (suivi.avantDePrendre)
                suivi.avantDePrendre();
            porte->click();
        }
        if (suivi.pendant)
            suivi.pendant();
    });
    veille.start(suivi.periodeMs);
    // The payment runs from the screen's activation, inside this touch or the waits below.
    toucher(valider);
    QElapsedTimer duree;
    duree.start();
    while (!termine && (ecran->paiementEnCours() || ecran->isVisible()) &&
           duree.elapsed() < suivi.limiteMs)
        QTest::qWait(suivi.periodeMs);
    veille.stop();
    QObject::disconnect(fin);
    return true;
}

} // namespace Movendi::Client
