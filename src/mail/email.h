#pragma once

#include <QAbstractSocket>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

class QSslSocket;

namespace Movendi::Mail {

// The message data of one mail: From, To and Subject lines, the declaration of its character
// set (UTF-8, sent as 8-bit; a subject that is not plain ASCII is encoded as RFC 2047 asks), an
// empty line, the encoded attachments (when there are any) and a line end, the body and the
// closing ".". Lines of the body and attachments that start with "." get a second one, as the
// mail transport removes it.
QByteArray donneesMessage(const QString &expediteur, const QString &destinataire,
                          const QString &sujet, const QString &corps,
                          const QByteArray &piecesJointes);
// The part of an address before its first at sign; nothing without an at sign.
std::optional<QString> nomAdresse(const QString &adresse);

/// A mail refused before anything was sent: an address without an at sign, or an attachment
/// that cannot be read.
class MailRefuse : public std::exception
{
public:
    enum class Motif { AdresseSansArobase, PieceJointeIllisible };
    MailRefuse(Motif motif, QString message)
        : m_motif(motif), m_message(std::move(message)), m_octets(m_message.toUtf8())
    {
    }
    Motif motif() const { return m_motif; }
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_octets.constData(); }

private:
    Motif m_motif;
    QString m_message;
    QByteArray m_octets;
};

/// How a dialogue protects itself. With starttls, nothing of the mail goes before the server
/// offered STARTTLS and showed a certificate that an authority of the system (or `ca`, a PEM
/// file, trusted besides them) signed for its name. With a user, AUTH PLAIN follows, over TLS
/// only: a password never goes in clear.
struct SecuriteSmtp
{
    bool starttls = false;
    QString ca;
    QString utilisateur;
    QString motDePasse;
};

/// The mail control (the kiosk's and the back-office's): sends one plain-text mail, with attached
/// files, to one recipient through an SMTP server. The dialogue runs from the server's replies
/// while the caller waits with event processing (attendreFin); one mail at a time: a second Envoie
/// waits for the first to end instead of cutting it short.
class Email : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString SeveurSmtp READ SeveurSmtp WRITE setSeveurSmtp NOTIFY SeveurSmtpChanged)

public:
    /// How a mail ended.
    struct Issue
    {
        bool termine = false;    // the dialogue is over (or was given up)
        bool envoye = false;     // the server took the message
        QString derniereReponse; // the server's last reply, or the socket's error
    };

    /// A server that leaves a step of the dialogue without a reply this long has given up; a
    /// mail is given up after MailMaxMs in all.
    static constexpr qint64 SilenceMaxMs = 3000;
    static constexpr qint64 MailMaxMs = 60000;

    explicit Email(QObject *parent = nullptr);
    ~Email() override;

    QString SeveurSmtp() const { return m_serveur; }
    void setSeveurSmtp(const QString &serveur);
    /// For the mails sent from then on.
    void setSecurite(const SecuriteSmtp &securite) { m_securite = securite; }

    /// Prepares the mail and connects; raises MailRefuse for an address without an at sign or
    /// an attachment that cannot be read, before anything is sent. A mail still in
    /// progress is waited for first. Returns the mail's number, for attendreFin.
    quint64 Envoie(const QString &expediteur, const QString &destinataire, const QString &sujet,
                   const QString &corps, qint32 port);
    /// Handles events until that mail's dialogue is over, the server fell silent or the mail
    /// ran out of time (its connection is then closed); how it ended.
    Issue attendreFin(quint64 numero);
    bool enCours() const { return m_numero != 0 && !m_issue.termine; }
    void PieceJointeAjout(const QString &chemin);
    void PieceJointeSuppr(const QString &chemin);
    void FermerWinsock();

    /// The half-second pause after the message's data ends early once this says so (the
    /// kiosk's screens changing); none by default.
    void setInterruption(std::function<bool()> interrompre)
    {
        m_interrompre = std::move(interrompre);
    }

    QStringList piecesJointes() const { return m_piecesJointes; }
    int etape() const { return m_etape; }

signals:
    void SeveurSmtpChanged();
    void Reponse(const QString &etat, const QString &reponseServeur);
    void FichiersJoints(const QString &liste, int nombre);
    void Progression(int pourcentage, qint64 taille, qint64 envoye);
    void Encodage(int pourcentage, const QString &texte);

private:
    void donneesRecues();
    void traiterReponse(const QByteArray &reponse);
    // The TLS and login exchanges before MAIL FROM; false once they are over.
    bool traiterSecurite(int code, const QString &texteServeur, const QByteArray &reponse);
    void chiffre();
    void refuser(const QString &raison);
    void envoyer(const QByteArray &texte);
    void signalerProgression();
    void pauseApresDonnees();
    void erreurSocket(QAbstractSocket::SocketError erreur);
    void terminer(bool envoye, const QString &reponse);

    QSslSocket *m_socket;
    QString m_serveur;
    SecuriteSmtp m_securite;
    enum class Phase { Aucune, Accueil, Ehlo, StartTls, Chiffrement, Authentification };
    Phase m_phase = Phase::Aucune;
    QString m_expediteur;
    QString m_nomExpediteur;
    QString m_destinataire;
    QString m_nomDestinataire;
    QString m_sujet;
    QString m_corps;
    QStringList m_piecesJointes;
    bool m_avecPiecesJointes = false;
    QByteArray m_piecesEncodees;
    int m_etape = 0;
    qint64 m_tailleTotale = 0;
    qint64 m_octetsEnvoyes = 0;
    QByteArray m_recu;
    bool m_dansReponse = false;
    // The current (or last) mail: its number, how it ended, when it started and when the
    // server last spoke.
    quint64 m_numero = 0;
    quint64 m_dernierNumero = 0;
    Issue m_issue;
    // How the mails before it ended, for their senders still waiting (a mail started inside
    // another's wait).
    QMap<quint64, Issue> m_issuesPrecedentes;
    qint64 m_debutMs = 0;
    qint64 m_activiteMs = 0;
    std::function<bool()> m_interrompre;
};

} // namespace Movendi::Mail
