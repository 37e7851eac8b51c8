#pragma once

#include "etatvente.h"
#include "journalvente.h"

#include <QColor>
#include <QWidget>

#include <memory>

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
// authorised, delivery, recording and ticket, transfer) and returns home.
class FrmPayment : public QWidget
{
    Q_OBJECT
public:
    explicit FrmPayment(QWidget *parent = nullptr);
    ~FrmPayment() override;

    void Form_Load();
    void Form_Activate();
    void MakePayment();
    bool Payer();
    void AttendreRetraitCarte();
    // The debit of what was delivered (PaymentAmountCents): at most three attempts; the final
    // result is kept in the sale state and journalled.
    int DebiterMontant();
    void CommandButtonAnnulation_Click();

    // True from activation to the return home, the card wait behind the home screen included.
    bool paiementEnCours() const { return m_enCours; }
    // A new basket started on the home screen ends a card wait that goes on there after a
    // cancel. False when no card wait runs (the sale is further on and goes to its end).
    bool abandonnerAttenteCarte();
    // The basket frozen when the customer validated it.
    const Panier &panier() const { return m_panier; }
    // The durable journal of the sale in flight.
    JournalVente &journalVente() { return m_journalVente; }

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
    Startup::StoreDatabase &base();
    // The ticket printer's line (MSComm2), created on first use, closed.
    Platform::SerialLine &ligneImprimante();

    // Repaints the screen now (the sale's waits process events, but some steps block).
    void rafraichir();

    // Back colours, as the sale's prompts alternate them.
    static QColor couleurFond(const QWidget *w);
    static void definirCouleurFond(QWidget *w, const QColor &couleur);

signals:
    // The payment has ended and the kiosk is back home.
    void paiementTermine();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Alternates the prompt's back colour while a card is awaited or to be taken back; stops
    // when poll() says so or after 60 seconds. Returns whether poll() stopped it.
    bool attendreCarte(const QColor &origine, const std::function<bool()> &poll);

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
    bool m_attenteCarte = false;
    bool m_abandonAttente = false;
};

} // namespace Movendi::Sale
