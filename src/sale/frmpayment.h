#pragma once

#include "sale/affichagevente.h"
#include "sale/etatvente.h"
#include "sale/journalvente.h"
#include "sale/surveillancemagasin.h"

#include <QColor>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QPushButton;

namespace Movendi::Platform {
class SerialLine;
}
namespace Movendi::Startup {
class StoreDatabase;
}

namespace Movendi::Sale {

class AffichagePanneau;

// The payment screen: on activation it runs the rest of the sale in one pass (card, amount
// authorised, delivery, recording and ticket, transfer) and returns home. It is the display and
// the context the delivery, recording and ticket run with.
class FrmPayment : public QWidget, public ContexteVente, private AffichageVente
{
    Q_OBJECT
public:
    // The terminal's link outlives the screen.
    explicit FrmPayment(Payment::LiaisonTerminal &terminal, QWidget *parent = nullptr);
    ~FrmPayment() override;

    void Form_Load();
    void Form_Activate();
    void MakePayment();
    bool Payer();
    void AttendreRetraitCarte();
    int DebiterMontant() override;
    void CommandButtonAnnulation_Click();

    // True from activation to the return home, the card wait behind the home screen included.
    bool paiementEnCours() const { return m_enCours; }
    // A new basket started on the home screen ends a card wait that goes on there after a
    // cancel. False when no card wait runs (the sale is further on and goes to its end).
    bool abandonnerAttenteCarte();
    // The basket frozen when the customer validated it.
    const Panier &panier() const { return m_panier; }
    // The durable journal of the sale in flight.
    JournalVente &journalVente() override { return m_journalVente; }
    Payment::LiaisonTerminal &terminal() override { return m_terminal; }
    AffichageVente &affichage() override { return *this; }

    QLabel *LabelChoisisser() const { return m_labelChoisisser; }
    QLabel *Montant() const { return m_montant; }
    QLabel *PanelAnnulation() const { return m_panelAnnulation; }
    QLabel *MonnaieDispo() const { return m_monnaieDispo; }
    QPushButton *CommandButtonAnnulation() const { return m_commandButtonAnnulation; }
    QPushButton *CmdTicketFermPorte() const { return m_cmdTicketFermPorte; }
    QLabel *Picture1() const { return m_picture1; }
    QLabel *Picture2() const { return m_picture2; }

    // Set by the customer's CmdTicketFermPorte, read by the delivery's wait.
    bool FermetureDemandee = false;

    // The screen's store connection, opened on activation; throws ErreurExecution when the store
    // cannot be opened.
    Startup::StoreDatabase &base() override;
    // The ticket printer's line (MSComm2), created on first use, closed.
    Platform::SerialLine &ligneImprimante() override;
    void magasinEnPanne(const QString &raison) override;
    void fermerBase() override;
    // Out of service while the store refuses writes; checked at start-up.
    SurveillanceMagasin &surveillanceMagasin() { return *m_surveillance; }

    // Repaints the screen now (the sale's waits process events, but some steps block).
    void rafraichir() override;

    // Back colours, as the sale's prompts alternate them.
    static QColor couleurFond(const QWidget *w);
    static void definirCouleurFond(QWidget *w, const QColor &couleur);

signals:
    // The payment has ended and the kiosk is back home.
    void paiementTermine();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // What the delivery, recording and ticket show: LabelChoisisser, MonnaieDispo, Montant,
    // Picture1 and Picture2, CmdTicketFermPorte.
    void afficherLigneArticles(const QString &texte) override;
    void mettreEnEvidenceLigneArticles(bool enEvidence) override;
    void afficherInvite(const QString &texte) override;
    void montrerInvite(bool visible) override;
    void cacherMontant() override;
    void afficherImageEtage(const QString &chemin) override;
    void alternerImages(bool impair) override;
    void cacherImages() override;
    void montrerBoutonFermeture(bool visible) override;
    bool fermetureDemandee() const override { return FermetureDemandee; }
    void oublierFermetureDemandee() override { FermetureDemandee = false; }

    // Alternates the prompt's back colour while a card is awaited or to be taken back; stops
    // when poll() says so or after 60 seconds. Returns whether poll() stopped it.
    bool attendreCarte(const QColor &origine, const std::function<bool()> &poll);

    Payment::LiaisonTerminal &m_terminal;
    QLabel *m_labelChoisisser;
    QLabel *m_montant;
    QLabel *m_panelAnnulation;
    QLabel *m_monnaieDispo;
    QPushButton *m_commandButtonAnnulation;
    QPushButton *m_cmdTicketFermPorte;
    QLabel *m_picture1;
    QLabel *m_picture2;
    std::unique_ptr<AffichagePanneau> m_affichage;
    std::unique_ptr<Startup::StoreDatabase> m_base;
    std::unique_ptr<Platform::SerialLine> m_imprimante;
    bool m_enCours = false;
    bool m_activationPrevue = false;
    Panier m_panier;
    JournalVente m_journalVente;
    std::unique_ptr<SurveillanceMagasin> m_surveillance;
    // The authorised sale could not be journalled: nothing was delivered or debited.
    bool m_journalImpossible = false;
    bool m_attenteCarte = false;
    bool m_abandonAttente = false;
    // The line's colour before the delivery drew the eye to it.
    std::optional<QColor> m_couleurLigneArticles;
};

} // namespace Movendi::Sale
