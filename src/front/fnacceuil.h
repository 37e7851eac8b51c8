#pragma once

#include "front/supervision.h"
#include <QSet>

#include "screens/suiviactivation.h"
#include <QString>

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QKeyEvent;
class QLabel;
class QPushButton;

namespace Movendi::Payment {
class LiaisonTerminal;
}
namespace Movendi::Platform {
class KioskTimer;
}
namespace Movendi::Store {
class StoreDatabase;
}
namespace Movendi::Sale {
class FrmChoix;
class FrmPayment;
class Vente;
} // namespace Movendi::Sale
namespace Movendi::Media {
class FrmVideo;
}
namespace Movendi::Mail {
class Email;
}
namespace Movendi::Stock {
class AccesPersonnel;
}

namespace Movendi::Front {

// The home screen, captioned "acceuil": six catalogue tiles, the language buttons, the staff
// keys, and the kiosk's timers.
class FnAcceuil : public QWidget
{
    Q_OBJECT
public:
    static constexpr int LignesCatalogue = 21; // row 0 unused
    static constexpr int Tuiles = 6;
    static constexpr int HauteurTuile = 161;

    // The staff's refill screen, opened by F12; personnel: whose badge opened it, empty when
    // no badges are asked for.
    using OuvrirRemplissage = std::function<void(const QString &personnel)>;

    FnAcceuil(Sale::FrmChoix *choix, OuvrirRemplissage remplissage,
              Payment::LiaisonTerminal &terminal, QWidget *parent = nullptr);
    ~FnAcceuil() override;

    // Form_Load: runs once, when start-up loads the screens.
    void Form_Load();
    // Form_Activate: each time the screen becomes the active window.
    void Form_Activate();

    void ChargerCatalogue();
    void AfficherCatalogue();
    // "Momentanément indisponible" instead of the tiles while the kiosk takes no customer.
    void afficherDisponibilite();
    bool indisponibiliteAffichee() const;
    void RechercherPortImprimante();
    void LancerVideo();
    void ArreterVideo();

    // Ends the program in order: the player goes, the running flag goes to "NON", the loop quits.
    void terminer();

    int nombreArticles() const { return m_nombreArticles; }
    const QString &cellule(int ligne, int colonne) const
    {
        return m_catalogue.at(ligne).at(colonne);
    }
    bool videoEnCours() const { return m_videoEnCours; }
    Mail::Email *Email1() const { return m_email1; }
    Platform::KioskTimer *timerAnimation() const { return m_timerAnimation; }
    Platform::KioskTimer *timerVideo() const { return m_timerVideo; }
    Platform::KioskTimer *timerRetourAutomatique() const { return m_timerRetourAutomatique; }
    Media::FrmVideo *lecteur() const { return m_video.get(); }
    Supervision *supervision() const { return m_supervision.get(); }
    Platform::KioskTimer *timerControl() const { return m_timerControl; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void construireTuiles();
    QWidget *construireElementsCaches();
    void construireMinuteries();
    void construireSupervisionEtFilm();
    void toucherTuile(int i);
    void choisirLangue(const QString &langue);
    void tickAnimation();
    // The payment screen, through the product choice screen that owns the way to it.
    Sale::FrmPayment *paiement() const;
    // The sale running now, asked of the payment screen that started it.
    Sale::Vente *venteEnCours() const;
    // The payment screen while a sale runs on it (card wait after a cancel excluded).
    bool venteAffichee() const;
    // The screen's store connection, opened at load and tried again at each activation while
    // the store cannot be opened.
    bool ouvrirBase(bool demarrage);
    void ouvrirRemplissage();
    void montrerRemplissage(const QString &personnel);
    void chargerBadges();
    // A key of the badge asked for by F12; false when no badge is being asked for.
    bool saisirBadge(QKeyEvent *cle);

    Sale::FrmChoix *m_choix;
    OuvrirRemplissage m_ouvrirRemplissage;
    // F12 behind staff badges when Machine/BadgePersonnel lists some.
    std::unique_ptr<Stock::AccesPersonnel> m_accesPersonnel;
    Payment::LiaisonTerminal &m_terminal;
    std::unique_ptr<Media::FrmVideo> m_video;
    std::unique_ptr<Supervision> m_supervision;
    std::unique_ptr<Store::StoreDatabase> m_base;
    std::array<std::array<QString, 7>, LignesCatalogue> m_catalogue;
    int m_nombreArticles = 0;
    int m_ticks = 0;
    // A tile touched while a cancelled payment still waited for its card: played once that
    // wait has ended.
    int m_toucheDifferee = -1;
    bool m_baseEnEchec = false;
    bool m_magasinEnPanne = false;
    // Articles already journalled for a price that cannot be charged.
    QSet<int> m_prixRefuses;
    bool m_videoEnCours = false;
    Screens::SuiviActivation m_activation{[this] { Form_Activate(); }};
    bool m_termine = false;
    bool m_pointeurCache = false;

    std::array<QLabel *, Tuiles> m_images{};
    std::array<QLabel *, Tuiles> m_noms{};
    std::array<QLabel *, Tuiles> m_prix{};
    QLabel *m_picture2;
    QLabel *m_ssPanelVideo;
    QLabel *m_labelDispo;
    QLabel *m_accroche;
    QWidget *m_tuiles;
    class AffichageAccueil;
    QLabel *m_ssPanel1 = nullptr;
    std::unique_ptr<AffichageAccueil> m_affichageTerminal;
    Mail::Email *m_email1;
    Platform::KioskTimer *m_timerAnimation;
    Platform::KioskTimer *m_timerVideo;
    Platform::KioskTimer *m_timerRetourAutomatique;
    Platform::KioskTimer *m_timerControl;
};

} // namespace Movendi::Front
