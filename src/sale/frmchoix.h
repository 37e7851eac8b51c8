#pragma once

#include "money/monnaie.h"
#include "sale/etatvente.h"

#include <QWidget>
#include <array>
#include <memory>

class QLabel;
class QPushButton;
class QTextBrowser;
class QFrame;

namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Sale {

class FrmPayment;

// The product choice screen: shows the touched article, lets the customer add one top-up
// voucher, and hands the basket over to payment or goes back home.
class FrmChoix : public QWidget
{
    Q_OBJECT
public:
    FrmPayment *paiement() const { return m_paiement; }
    explicit FrmChoix(FrmPayment *paiement, QWidget *parent = nullptr);
    ~FrmChoix() override;

    // Form_Load: the shop's identity for the ticket.
    void Form_Load();
    // Form_Activate: the article, the offers and an empty top-up line.
    void Form_Activate();
    void AfficherArticle();

    bool rechargeChoisie() const { return m_rechargeChoisie; }
    // The basket as the customer composes it: the article shown, the top-up chosen, the total
    // handed over by the home screen and this screen (ReferenceChoisie, QteChoisie,
    // MontantAPayer), the shop's identity.
    Panier panier() const;
    Money::Monnaie prixRecharge(int i) const { return m_prixRecharges.at(i - 1); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void basculerRecharge(int k);
    void valider();
    void annuler();
    void afficherImage(const QString &fichier);
    Store::StoreDatabase *base();

    FrmPayment *m_paiement;
    std::unique_ptr<Store::StoreDatabase> m_base;
    std::array<std::int32_t, 5> m_rechargesProposees{};
    std::array<Money::Monnaie, 5> m_prixRecharges{};
    bool m_rechargeChoisie = false;
    // The article, its top-up line and the shop (the rest of the basket is the shared hand-over).
    Panier m_panier;

    QLabel *m_label2;
    QLabel *m_label3;
    QFrame *m_panel3;
    QLabel *m_image1;
    QTextBrowser *m_richTextBox1;
    QLabel *m_label1;
    QPushButton *m_command1;
    QPushButton *m_command2;
    QPushButton *m_cmdVal;
    QPushButton *m_cmdAnn;
};

} // namespace Movendi::Sale
