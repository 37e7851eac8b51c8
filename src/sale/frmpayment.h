#pragma once

#include "sale/affichagevente.h"
#include "sale/etatvente.h"

#include <QColor>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QPushButton;

namespace Movendi::Sale {

class AffichagePanneau;
class PosteVente;
class Vente;

// The payment screen: on activation it starts the sale of the basket validated on the product
// choice screen (Vente) and shows what the sale says, until the sale brings the kiosk home.
// It neither asks the terminal nor writes the store: the sale does.
class FrmPayment : public QWidget, private AffichageVente
{
    Q_OBJECT
public:
    // The sale desk outlives the screen.
    explicit FrmPayment(PosteVente &poste, QWidget *parent = nullptr);
    ~FrmPayment() override;

    void Form_Load();
    void Form_Activate();
    void CommandButtonAnnulation_Click();

    // The basket validated on the product choice screen: the next activation sells it.
    void preparerVente(const Panier &panier);
    // The sale, from activation to the return home (the card wait behind the home screen after
    // a cancel included); null otherwise.
    Vente *vente() const { return m_vente.get(); }
    bool paiementEnCours() const { return m_vente != nullptr; }
    // The last basket validated (kept after its sale ended).
    const Panier &panier() const { return m_panier; }
    // What the sale shows on this screen.
    AffichageVente &affichage() { return *this; }
    PosteVente &poste() const { return m_poste; }

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
    // What the sale shows: LabelChoisisser, MonnaieDispo, Montant, PanelAnnulation, Picture1
    // and Picture2, CommandButtonAnnulation, CmdTicketFermPorte.
    void afficherConsigne(const QString &texte) override;
    void mettreEnEvidenceConsigne(bool enEvidence) override;
    void afficherInvite(const QString &texte) override;
    void montrerInvite(bool visible) override;
    void montrerMontant(bool visible) override;
    void montrerAnnulation(bool visible) override;
    void afficherPanneau(const QString &texte) override;
    void cacherPanneau() override;
    Payment::AffichageClient &affichageTerminal() override;
    void revenirAuPaiement() override;
    void afficherImageEtage(const QString &chemin) override;
    void alternerImages(bool impair) override;
    void cacherImages() override;
    void montrerBoutonFermeture(bool visible) override;
    bool fermetureDemandee() const override { return FermetureDemandee; }
    void oublierFermetureDemandee() override { FermetureDemandee = false; }
    void retourAccueil() override;

    PosteVente &m_poste;
    QLabel *m_labelChoisisser;
    QLabel *m_montant;
    QLabel *m_panelAnnulation;
    QLabel *m_monnaieDispo;
    QPushButton *m_commandButtonAnnulation;
    QPushButton *m_cmdTicketFermPorte;
    QLabel *m_picture1;
    QLabel *m_picture2;
    std::unique_ptr<AffichagePanneau> m_affichage;
    std::unique_ptr<Vente> m_vente;
    bool m_activationPrevue = false;
    std::optional<Panier> m_panierPrepare;
    Panier m_panier;
    // The line's colour before the sale drew the eye to it.
    std::optional<QColor> m_couleurConsigne;
};

} // namespace Movendi::Sale
