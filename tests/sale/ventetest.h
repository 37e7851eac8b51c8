#pragma once

#include "i18n/constmessage.h"
#include "kiosktest.h"
#include "payment/etatpaiement.h"
#include "platform/profilefile.h"
#include "printersim.h"
#include "sale/etatvente.h"
#include "sale/frmpayment.h"
#include "startup/demarrage.h"
#include "state/etatdemarrage.h"

#include <QLabel>
#include <QThread>

#include <memory>

namespace Movendi::Test {

// The end of a sale on a folder laid out by the staff tool: the payment screen (not shown), the
// demo store and a simulated ticket printer on port 7.
class VenteTest : public KioskTest
{
protected:
    static constexpr int PortImprimante = 7;

    void SetUp() override
    {
        KioskTest::SetUp();
        layOutApplicationFolder();
        Startup::EtatDemarrage &e = Startup::etat();
        e.CheminIni = path(QStringLiteral("RURUDIZ.ini"));
        e.CheminImages = path(QStringLiteral("image/"));
        Startup::LireConfiguration();
        Startup::ChargerMessages(QStringLiteral("FR"));
        e.IdentiteMachine = QStringLiteral("DA-LYON-01");
        e.TauxTVA = 0.196;
        e.TicketActif = true;
        Sale::etatVente() = Sale::EtatVente{};
        Payment::reinitialiserPaiement();
        Sale::etatVente().InfoSociete = {QStringLiteral("Movendi Distribution"),
                                         QStringLiteral("14 rue de la République"),
                                         QStringLiteral("Lyon"),
                                         QStringLiteral("69002"),
                                         QStringLiteral("04 78 42 17 60"),
                                         QString()};

        ASSERT_TRUE(m_imprimante.start());
        brancherImprimante(m_imprimante.devicePath());
        m_ecran = std::make_unique<Sale::FrmPayment>();
    }

    void TearDown() override
    {
        m_ecran.reset();
        Sale::etatVente() = Sale::EtatVente{};
        Payment::reinitialiserPaiement();
        KioskTest::TearDown();
    }

    // Port 7 names that device.
    void brancherImprimante(const QString &device) const
    {
        Platform::writeProfileString(Startup::etat().CheminIni, QStringLiteral("PortCom"),
                                     QStringLiteral("Port%1").arg(PortImprimante), device);
        Startup::etat().PortImprimante = PortImprimante;
    }

    // The printer's bytes once at least n have come, and nothing more a moment later.
    QByteArray imprime(qsizetype n) const
    {
        EXPECT_TRUE(m_imprimante.waitForBytes(n)) << m_imprimante.bytes().size() << " bytes";
        QThread::msleep(100);
        return m_imprimante.bytes();
    }

    // Nothing reaches the printer within a moment (the kiosk writes before it returns).
    bool rienImprime() const
    {
        QThread::msleep(200);
        return m_imprimante.bytes().isEmpty();
    }

    int journalCount(const QString &contexte) const
    {
        int n = 0;
        for (const JournalRow &row : journalRows())
            n += row.contexte == contexte ? 1 : 0;
        return n;
    }

    PrinterSimulator m_imprimante;
    std::unique_ptr<Sale::FrmPayment> m_ecran;
};

} // namespace Movendi::Test
