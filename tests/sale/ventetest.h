#pragma once

#include "i18n/constmessage.h"
#include "kiosktest.h"
#include "lignesenregistrees.h"
#include "payment/pontagetpvnew.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "printersim.h"
#include "sale/etatvente.h"
#include "sale/frmpayment.h"
#include "sale/postevente.h"
#include "sale/vente.h"
#include "startup/demarrage.h"
#include "startup/liaisonpaiement.h"
#include "state/etatdemarrage.h"

#include <QLabel>
#include <functional>

#include <memory>
#include <optional>

namespace Movendi::Test {

// The end of a sale on a folder laid out by the staff tool: a sale at the kiosk's sale desk shown
// on the payment screen (not shown itself), the demo store and a ticket printer on port 7 whose
// line is kept in memory. A test that needs a real device names one (brancherImprimante) or
// starts the printer simulator (brancherSimulateur).
class VenteTest : public KioskTest
{
protected:
    static constexpr int PortImprimante = 7;

    void SetUp() override
    {
        KioskTest::SetUp();
        useApplicationFolder(true);
        State::EtatDemarrage &e = State::etat();
        I18n::ChargerMessages(QStringLiteral("FR"));
        e.IdentiteMachine = QStringLiteral("DA-LYON-01");
        e.TauxTVA = 0.196;
        e.TicketActif = true;
        m_lien.reinitialiser();
        Sale::Panier panier;
        panier.InfoSociete = {QStringLiteral("Movendi Distribution"),
                              QStringLiteral("14 rue de la République"),
                              QStringLiteral("Lyon"),
                              QStringLiteral("69002"),
                              QStringLiteral("04 78 42 17 60"),
                              QString()};

        m_lignesEnregistrees.emplace(&m_imprimante);
        e.PortImprimante = PortImprimante;
        m_ecran = std::make_unique<Sale::FrmPayment>(m_poste);
        m_vente = std::make_unique<Sale::Vente>(m_poste, m_ecran->affichage(), panier);
    }

    void TearDown() override
    {
        m_vente.reset();
        m_ecran.reset();
        m_lignesEnregistrees.reset();
        m_lien.reinitialiser();
        KioskTest::TearDown();
    }

    Sale::Vente &vente() { return *m_vente; }
    Sale::EtatVente &etatVente() { return m_vente->etat(); }

    // Port 7 names that device, reached through real serial lines from now on.
    void brancherImprimante(const QString &device)
    {
        m_lignesEnregistrees.reset();
        Platform::writeProfileString(State::etat().CheminIni, QStringLiteral("PortCom"),
                                     QStringLiteral("Port%1").arg(PortImprimante), device);
        State::etat().PortImprimante = PortImprimante;
    }

    // The printer simulator on its pseudo-terminal behind port 7, for tests that need the
    // device itself (another program holding the port).
    void brancherSimulateur()
    {
        ASSERT_TRUE(m_simulateur.start());
        brancherImprimante(m_simulateur.devicePath());
    }

    // The printer's bytes once at least n have come; from the simulator, all it received.
    QByteArray imprime(qsizetype n) const
    {
        if (!m_simulateur.isRunning()) {
            EXPECT_TRUE(m_imprimante.waitForBytes(n)) << m_imprimante.bytes().size() << " bytes";
            return m_imprimante.bytes();
        }
        const QByteArray recu = m_simulateur.bytesBeforeMark().value_or(QByteArray());
        EXPECT_GE(recu.size(), n) << recu.size() << " bytes";
        return recu;
    }

    // Nothing reached the printer (the kiosk writes before it returns). `ligne`: the port's
    // holder, when another program holds it.
    bool rienImprime(Platform::SerialLine *ligne = nullptr) const
    {
        if (!m_simulateur.isRunning())
            return m_imprimante.bytes().isEmpty();
        std::function<bool(const QByteArray &)> ecrire;
        if (ligne)
            ecrire = [ligne](const QByteArray &repere) { return ligne->write(repere); };
        const std::optional<QByteArray> recu = m_simulateur.bytesBeforeMark(ecrire);
        return recu && recu->isEmpty();
    }

    // The latest journal entry under a context.
    QString derniereEntree(const QString &contexte) const
    {
        QString texte;
        for (const JournalRow &row : journalRows()) {
            if (row.contexte == contexte)
                texte = row.erreur;
        }
        return texte;
    }

    int journalCount(const QString &contexte) const
    {
        int n = 0;
        for (const JournalRow &row : journalRows())
            n += row.contexte == contexte ? 1 : 0;
        return n;
    }

    Payment::LiaisonTerminal m_lien{Startup::environnementTerminal()};
    Sale::PosteVente m_poste{m_lien};
    LignesEnregistrees m_imprimante;
    // Every line the kiosk opens is kept in memory until a test names a device.
    std::optional<Platform::InstalledSerialLines> m_lignesEnregistrees;
    PrinterSimulator m_simulateur;
    std::unique_ptr<Sale::FrmPayment> m_ecran;
    std::unique_ptr<Sale::Vente> m_vente;
};

} // namespace Movendi::Test
