#pragma once

#include "state/ecrans.h"

#include <memory>

namespace Movendi::Payment {
class LiaisonTerminal;
}
namespace Movendi::Sale {
class FrmChoix;
class FrmPayment;
class PosteVente;
} // namespace Movendi::Sale
namespace Movendi::Stock {
class FrmRemplissage;
}

namespace Movendi::Front {

class ClavierClients;
class FnAcceuil;

// Owns the customer screens for the program's life (the refill screen only while staff use it)
// and offers them to start-up and to the navigation routines. The payment screen runs its
// sales at the sale desk it is given; the home screen's night uses the desk's terminal link.
class KioskScreens final : public State::Ecrans
{
public:
    explicit KioskScreens(Sale::PosteVente &poste);
    ~KioskScreens() override;

    void charger() override;
    bool accueilCharge() const override;
    QList<QWidget *> ecransClients() override;
    void afficherAccueil() override;
    void relancerTimerRetourAutomatique() override;
    void arreterTimerRetourAutomatique() override;
    void cacherEcransVente() override;
    void dechargerRemplissage() override;
    void montrerAccueil() override;
    void arreterAnimation() override;
    void relancerAnimation() override;
    QWidget *accueil() const override;
    void reprendreVentesInterrompues() override;

    FnAcceuil *fnAcceuil() const { return m_accueil.get(); }
    Sale::FrmChoix *frmChoix() const { return m_choix.get(); }
    Sale::FrmPayment *frmPayment() const { return m_paiement.get(); }
    Stock::FrmRemplissage *frmRemplissage() const { return m_remplissage.get(); }
    Sale::PosteVente &poste() const { return m_poste; }
    Payment::LiaisonTerminal &terminal() const;

private:
    void ouvrirRemplissage(const QString &personnel);

    Sale::PosteVente &m_poste;
    std::unique_ptr<Sale::FrmPayment> m_paiement;
    std::unique_ptr<Sale::FrmChoix> m_choix;
    std::unique_ptr<FnAcceuil> m_accueil;
    std::unique_ptr<Stock::FrmRemplissage> m_remplissage;
    std::unique_ptr<ClavierClients> m_clavier;
};

} // namespace Movendi::Front
