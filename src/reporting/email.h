#pragma once

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QStringList>

class QTcpSocket;

namespace Movendi::Reporting {

// The message data of one mail: From, To and Subject lines, an empty line, the encoded
// attachments (when there are any) and a line end, the body and the closing ".". Lines of the
// body and attachments that start with "." get a second one, as the mail transport removes it.
QByteArray donneesMessage(const QString &expediteur, const QString &destinataire,
                          const QString &sujet, const QString &corps,
                          const QByteArray &piecesJointes);
// The part of an address before its first at sign; nothing without an at sign.
std::optional<QString> nomAdresse(const QString &adresse);

/// The kiosk's mail control: sends one plain-text mail, with attached files, to one recipient
/// through an SMTP server. The dialogue runs from the server's replies while the caller waits
/// with event processing; the control has no time-out of its own (the callers close it).
class Email : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString SeveurSmtp READ SeveurSmtp WRITE setSeveurSmtp NOTIFY SeveurSmtpChanged)

public:
    explicit Email(QObject *parent = nullptr);
    ~Email() override;

    QString SeveurSmtp() const { return m_serveur; }
    void setSeveurSmtp(const QString &serveur);

    /// Prepares the mail and connects; raises ErreurExecution for an address without an at
    /// sign or an attachment that cannot be read, before anything is sent.
    void Envoie(const QString &expediteur, const QString &destinataire, const QString &sujet,
                const QString &corps, qint32 port);
    void PieceJointeAjout(const QString &chemin);
    void PieceJointeSuppr(const QString &chemin);
    void FermerWinsock();

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
    void envoyer(const QByteArray &texte);
    void signalerProgression();
    void erreurSocket(QAbstractSocket::SocketError erreur);

    QTcpSocket *m_socket;
    QString m_serveur;
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
};

} // namespace Movendi::Reporting
