#pragma once

#include "screens/suiviactivation.h"
#include "stock/remplissage.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace Movendi::Platform {
class KioskTimer;
class SerialLine;
} // namespace Movendi::Platform

namespace Movendi::State {
class GardeRemplissage;
}

namespace Movendi::Stock {

// The staff refill screen, opened with F12 on the home screen. Staff scan each article with a
// keyboard-emulating scanner (digits, then Enter): a 15-character code is a phone's IMEI, a
// 16-character one a top-up voucher's serial. The screen finds the article in the delivery list
// ListeIMEI.xls, chooses its location, brings the location to them, shows code and level on the
// LCD and records the article. F11 lists and prints the contents, F9 destocks the reference
// typed in the field, F4 returns to the home screen.
class FrmRemplissage : public QWidget, private AffichageRemplissage
{
    Q_OBJECT
public:
    // ligneImprimante: the ticket printer's line, shared with the payment screen; null for a
    // line of the screen's own.
    explicit FrmRemplissage(Platform::SerialLine *ligneImprimante = nullptr,
                            QWidget *parent = nullptr);
    ~FrmRemplissage() override;

    void OuvrirTables();
    void LectureDouchette();
    void RemplissageMachineTELE(const QString &code);
    void RemplissageMachineRECHA(const QString &code);
    void AffichezMessage(const QString &ligne1, const QString &ligne2);
    void ImprimerContenueEmplacements();
    void Destockage(std::int32_t reference);
    void SpinButton1_SpinDown();
    void SpinButton1_SpinUp();
    void Command1_Click();
    void Timer1_Timer();
    // Closes the connections and gives the home screen its animation back; runs once.
    void Form_Unload();

    std::int32_t EmplacementOuvert() const { return m_remplissage.EmplacementOuvert(); }
    // Whose badge opened the screen (audited).
    void definirPersonnel(const QString &nom) { m_remplissage.definirPersonnel(nom); }
    bool DemandeFin() const { return m_demandeFin; }
    std::int16_t CompteurTops() const { return m_compteurTops; }
    Platform::KioskTimer *timer1() const { return m_timer1; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void montrerBoutonFermeture(bool visible) override;
    void afficherTexteLCD(const QString &texte) override;
    void afficherPanneauLCD(const QString &texte) override;
    void commencerListeContenu() override;
    void ajouterLignesContenu(const QStringList &lignes) override;
    void viderChampCode() override;

    void Form_Load();
    void Form_Activate();
    bool toucheRelachee(int touche);

    QLineEdit *m_textCodBar;
    QLabel *m_labelDispo;
    QPushButton *m_command1;
    QLineEdit *m_text2;
    QLabel *m_ecranLCD;
    QListWidget *m_list1;
    QWidget *m_spinButton1;
    Platform::KioskTimer *m_timer1;

    Remplissage m_remplissage;
    bool m_demandeFin = false;
    std::int16_t m_compteurTops = 0;
    Screens::SuiviActivation m_activation{[this] { Form_Activate(); }};
    bool m_decharge = false;
    // Staff are on this screen from its load to its unload.
    std::unique_ptr<State::GardeRemplissage> m_garde;
};

} // namespace Movendi::Stock
