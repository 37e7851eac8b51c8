#pragma once

#include "payment/environnementpaiement.h"
#include "payment/etatpaiement.h"

#include <QByteArray>

#include <memory>
#include <optional>

namespace Movendi::Platform {
class Clock;
class ClockSetter;
class SerialLine;
class SerialLineFactory;
} // namespace Movendi::Platform

namespace Movendi::Payment {

inline constexpr const char *ReglagesTerminal = "9600,N,8,1";
/// What an exchange that failed reads as, for the journal and the result characters.
inline const QByteArray ErrMessage = QByteArrayLiteral("ERR_MESSAGE");
/// The kiosk's wait for the terminal to take its turn after the remittance request.
inline constexpr int AttenteTourTelecollecte = 900;

enum class Ecoute { Demarrage, DemVAl, DemEnr, DemTC };

/// What the terminal answered to one exchange, or that the exchange failed: the frame was
/// refused three times, or the terminal did not take its turn.
struct ReponseTerminal
{
    QByteArray texte;
    bool echec = false;
    /// How much was read for: the last block's expected length (a two-block answer's second
    /// block), or the whole sized answer's length. None when nothing was read.
    std::optional<int> longueurLue;

    static ReponseTerminal echouee() { return {ErrMessage, true, std::nullopt}; }
    static ReponseTerminal lue(const QByteArray &texte, std::optional<int> longueur = {})
    {
        return {texte, false, longueur};
    }
};

/// The payment terminal's link (module PontageTPVNew): one serial line, its line discipline
/// and frames, its waits on a clock, the listening phases in which the terminal drives the
/// dialogue, and the requests a sale and the night make of the terminal (solvency, debit,
/// status, restart, remittance and its report). It keeps what the last transaction published
/// (etat()). Every wait goes through its clock; the waits that may not handle events feed the
/// service manager's watchdog.
class LiaisonTerminal
{
public:
    /// What the link works with. Each one left null is the program's installed one, taken at
    /// each use (the line factory, the clock, the clock setter), or none (the configuration:
    /// port 1 and no file; the journal: nothing journalled).
    struct Environnement
    {
        Platform::SerialLineFactory *lignes = nullptr;
        Platform::Clock *horloge = nullptr;
        Platform::ClockSetter *reglageHorloge = nullptr;
        const ConfigurationTerminal *configuration = nullptr;
        JournalPaiement *journal = nullptr;
    };

    LiaisonTerminal();
    explicit LiaisonTerminal(Environnement environnement);
    ~LiaisonTerminal();
    LiaisonTerminal(const LiaisonTerminal &) = delete;
    LiaisonTerminal &operator=(const LiaisonTerminal &) = delete;

    /// What the last transaction published, and the amount of the next request.
    EtatPaiement &etat() { return m_etat; }
    const EtatPaiement &etat() const { return m_etat; }
    /// The customer displays of the listening phases: the payment screen's for a payment, the
    /// home screen's for a restart or a remittance; null shows nothing.
    void installerAffichages(AffichageClient *paiement, AffichageClient *accueil);
    AffichageClient *affichagePaiement() const { return m_affichagePaiement; }
    AffichageClient *affichageAccueil() const { return m_affichageAccueil; }
    /// Why the line last failed to open (empty while it is open).
    QString echecOuverture() const { return m_echecOuverture; }
    /// Closes the line and forgets everything but the displays.
    void reinitialiser();

    // The line.

    /// Opens the terminal's port if it is not open, then drops what was buffered. False when the
    /// port cannot be opened (journalled once until it opens again).
    bool OpenTerminalPort();
    /// Sends text (and its LRC when addLrc) after dropping unread input, then polls without
    /// handling events until expected characters are buffered or timeoutSeconds have passed.
    /// Returns everything buffered, limited by the line's input length.
    QByteArray SendAndWait(const QByteArray &text, bool addLrc, int expected, int timeoutSeconds);
    /// Waits, handling events, until a character is buffered or timeoutSeconds have passed.
    QByteArray ReadTerminalChars(int timeoutSeconds);
    bool CheckTerminalReady();
    /// 1 the line is ours, 0 no line after three tries (or a terminal that keeps it a minute),
    /// -404 the terminal is remitting. Each bid starts on a quiet line.
    int BidForLine();

    /// The answer read by its expected length (two blocks above 248); a block read stops once
    /// its end has come.
    ReponseTerminal ExchangeMessage(const QByteArray &message, int expectedLength, int waitSeconds);
    /// The answer read by the length it states, block after block.
    ReponseTerminal ExchangeSizedAnswer(const QByteArray &message, int waitSeconds);
    /// The listening phase's result. A restart phase whose frame is refused or whose terminal
    /// does not take its turn gives an empty text, the other phases a failure.
    ReponseTerminal ExchangeAndListen(const QByteArray &message, int waitSeconds, Ecoute phase);
    /// The remittance request without a listening phase: the terminal's stream is read until its
    /// answer has come; the stream becomes the merchant ticket text.
    ReponseTerminal ExchangeAndReadStream(const QByteArray &message, int waitSeconds);

    /// The listening phases: the terminal's frames are acknowledged as they come and sorted
    /// into displays (shown), print lines (remittance: into the merchant ticket text, card
    /// numbers masked) and the answer, whose blocks are joined whatever comes between them; a
    /// block sent twice counts once, any other frame is not the answer. A payment phase ends
    /// once the whole answer has come and the last display seen outside its blocks is the
    /// cleared one, whichever came first, or after 5 minutes; the remittance phase at the first
    /// display after its answer, after 10 minutes of silence or 30 minutes in all; the restart
    /// phase at the fifth EOT or after 5 minutes. The rest of a turn is acknowledged until the
    /// terminal's EOT, so that the next exchange finds a quiet line.
    QByteArray EcouterDemarrage();
    QByteArray EcouterDemVAl();
    QByteArray EcouterDemEnr();
    QByteArray EcouterDemTC();

    // The requests of a sale and of the night. Each returns a small result (named in
    // resultatstpe.h) and journals refusals and faults.

    /// Status: 255 a card is in the reader, 1 no card, -400 no line or link failure, -403
    /// security activated, -404 remote activity, -405 terminal not available.
    int DemSwi();
    /// Solvency of PaymentAmountCents: 255 accepted, 2 refused ("9" or "F"), 1 refused (also an
    /// amount the terminal cannot take, refused before anything is sent), 0 link failure (the
    /// terminal has been restarted), -700 no line, -704 terminal not available.
    int DemVal(bool ecouter);
    /// Debit of PaymentAmountCents: 255 recorded (bank tickets built on "0"), 1 refused (also an
    /// amount the terminal cannot take), -200 no line, -204 terminal not available.
    int DemEnr(bool ecouter);
    /// Restart: the restart phase's text, empty when the terminal is not there.
    QByteArray DemDemarrage();
    /// Remittance: 255 complete, 1 not complete or no answer (journalled), -500 the terminal did
    /// not answer the line check. A staff check may wait less than the kiosk for the turn.
    int DemTC(bool ecouter, int attenteTourSecondes = AttenteTourTelecollecte);
    /// Remittance report laid out into MerchantTicketText: 255 done; 11, 2 or 3 incomplete,
    /// failed or no call (journalled); 1 another failure; -600 no line.
    int DemTIC();
    /// Both bank tickets of a recorded debit, its remittance number, and the kiosk's clock set
    /// to the terminal's (only where the configuration allows it).
    void BuildBankTickets(const QByteArray &reponseDebit);

    void journaliser(const QString &contexte, const QString &message);
    Platform::Clock &horloge() const;

private:
    class Phase;
    friend class Phase;

    Platform::SerialLine *ligne() const { return m_ligne.get(); }
    void setInputLength(int n);
    int buffered();
    QByteArray readBuffered();
    void discardInput();
    void send(const QByteArray &bytes);
    bool elapsed(qint64 startMs, int seconds) const;
    // The wait between two looks at the line, finer while the wait is young.
    void pause(qint64 startMs, bool handleEvents);
    void waitForCount(int expected, qint64 startMs, int timeoutSeconds, bool handleEvents);
    QByteArray collect(QByteArray text, int expected, qint64 startMs, int timeoutSeconds);
    QByteArray acknowledgeAndRead(int expected, int timeoutSeconds);
    bool sendFrameAndHandOver(const QByteArray &message, int waitSeconds);
    void releaseLine();
    QByteArray ecouter(Ecoute phase);
    const ConfigurationTerminal &configuration() const;

    Environnement m_environnement;
    EtatPaiement m_etat;
    std::unique_ptr<Platform::SerialLine> m_ligne;
    QString m_echecOuverture;
    AffichageClient *m_affichagePaiement = nullptr;
    AffichageClient *m_affichageAccueil = nullptr;
};

} // namespace Movendi::Payment
