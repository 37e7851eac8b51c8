#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;

namespace Movendi::Platform {
class KioskTimer;
}

namespace Movendi::Media {

// The attract player, shown modally over the home screen while nobody uses the kiosk: it plays
// video/animation.avi inside Picture1 through the installed media player, with two large
// language buttons over the film, and its Timer1 keeps the nightly schedule running. While the
// film is being opened (the player handles events meanwhile) a touch does nothing, F and F12 are
// carried out once it is open, and a player hidden meanwhile closes the film it opened.
class FrmVideo : public QDialog
{
    Q_OBJECT
public:
    // What the player asks of the home screen that owns it.
    struct Actions
    {
        std::function<void()> arreterVideo;       // ArreterVideo: hides the player
        std::function<void()> verifierSauvegarde; // the nightly schedule, at each tick
        std::function<void()> relancerTimerVideo; // the film comes back after its delay
        std::function<void()> terminer;           // F: the program ends in order
        std::function<void()> ouvrirRemplissage;  // F12: the refill screen
    };
    explicit FrmVideo(Actions actions, QWidget *parent = nullptr);
    ~FrmVideo() override;

    void Form_Load();
    void Form_Activate();
    void File1_DblClick();
    void OpenMe(const QString &chemin);
    void Redimensionne();
    void Timer1_Timer();
    void CmdAnn_Click();
    void Command8_Click();
    // Stops and closes the film when one is open.
    void arreter();

    const QString &AliasMedia() const { return m_alias; }
    bool MediaOuvert() const { return m_mediaOuvert; }
    std::int32_t DureeMedia() const { return m_dureeMedia; }
    const QString &DerniereCommande() const { return m_derniereCommande; }
    std::int32_t ResultatCommande() const { return m_resultatCommande; }
    std::int16_t LargeurVideo() const { return m_largeur; }
    std::int16_t HauteurVideo() const { return m_hauteur; }
    Platform::KioskTimer *Timer1() const { return m_timer1; }

    // The film of the application folder.
    static QString cheminFilm();
    // Picture files are shown instead of played.
    static bool estImage(const QString &chemin);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Notes a call to the player: its command string and its result.
    std::uint32_t envoyer(const QString &commande, std::uint32_t resultat);
    void placer();

    // A key that came while the film was being opened, handled once it is open.
    enum class Demande { Aucune, Fin, Remplissage };
    void executer(Demande demande);

    Actions m_actions;
    bool m_ouverture = false;
    Demande m_demandeDifferee = Demande::Aucune;
    QWidget *m_picture1;
    QLabel *m_affBmp;
    QLabel *m_label1;
    QLabel *m_label2;
    QLabel *m_invitation;
    QPushButton *m_cmdAnn;
    QPushButton *m_command8;
    Platform::KioskTimer *m_timer1;

    QString m_alias;
    bool m_mediaOuvert = false;
    std::int32_t m_dureeMedia = 0;
    QString m_derniereCommande;
    std::int32_t m_resultatCommande = 0;
    std::int16_t m_largeur = 0;
    std::int16_t m_hauteur = 0;
    bool m_son = true;
};

} // namespace Movendi::Media
