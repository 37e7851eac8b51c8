#include "mail/email.h"

#include "mail/uuencode.h"

#include "platform/clock.h"
#include "platform/seams.h"

#include <QFile>
#include <QSslConfiguration>
#include <QSslSocket>

#include <algorithm>

namespace Movendi::Mail {

namespace {

const QByteArray FinDeLigne("\r\n");
constexpr int TailleTranche = 50;
constexpr qint64 PauseApresDonneesMs = 500;

struct Etape
{
    int code;
    const char *texte;
};
// What each step expects of the server and reports when it gets it.
constexpr Etape Etapes[] = {
    {220, "Connection"},
    {250, "Connecté..."},
    {250, "Mail From accepté..."},
    {250, "RCPT est accepté"},
    {354, "Envoie Email en cours..."},
    {250, "Email envoyé avec succés..."},
};
constexpr int DerniereEtape = 5;

QByteArray ligne(const QString &texte)
{
    return texte.toUtf8() + FinDeLigne;
}

// Dot-stuffing: a line that starts with "." would otherwise lose it, or end the mail early.
QByteArray avecPointsDoubles(QByteArray texte)
{
    if (texte.startsWith('.'))
        texte.prepend('.');
    return texte.replace("\n.", "\n..");
}

// A complete reply: its last line has a space (or nothing) after the code.
bool reponseComplete(const QByteArray &recu)
{
    if (!recu.endsWith('\n'))
        return false;
    const QByteArray sansFin = recu.trimmed();
    const qsizetype debut = sansFin.lastIndexOf('\n') + 1;
    const QByteArray derniere = sansFin.mid(debut);
    return derniere.size() < 4 || derniere.at(3) != '-';
}

void ceder()
{
    Platform::clock().processEventsFor(0);
}

// A header's text: as it is when plain ASCII, else as an RFC 2047 encoded word.
QByteArray enTeteEncode(const QString &texte)
{
    const QByteArray utf8 = texte.toUtf8();
    const bool ascii =
        std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
    if (ascii)
        return utf8;
    return QByteArrayLiteral("=?utf-8?B?") + utf8.toBase64() + QByteArrayLiteral("?=");
}

} // namespace

std::optional<QString> nomAdresse(const QString &adresse)
{
    const qsizetype at = adresse.indexOf(QLatin1Char('@'));
    if (at < 0)
        return std::nullopt;
    return adresse.left(at);
}

QByteArray donneesMessage(const QString &expediteur, const QString &destinataire,
                          const QString &sujet, const QString &corps,
                          const QByteArray &piecesJointes)
{
    const QString nomExp = nomAdresse(expediteur).value_or(expediteur);
    const QString nomDest = nomAdresse(destinataire).value_or(destinataire);
    QByteArray donnees;
    donnees += ligne(QStringLiteral("From: \"%1\" <%2>").arg(nomExp, expediteur));
    donnees += ligne(QStringLiteral("To: \"%1\" <%2>").arg(nomDest, destinataire));
    donnees += QByteArrayLiteral("Subject: ") + enTeteEncode(sujet) + FinDeLigne;
    donnees += QByteArrayLiteral("MIME-Version: 1.0\r\n"
                                 "Content-Type: text/plain; charset=utf-8\r\n"
                                 "Content-Transfer-Encoding: 8bit\r\n");
    donnees += FinDeLigne;
    QByteArray contenu;
    if (!piecesJointes.isEmpty())
        contenu += piecesJointes + FinDeLigne;
    contenu += ligne(corps);
    donnees += avecPointsDoubles(contenu);
    donnees += ligne(QStringLiteral("."));
    return donnees;
}

Email::Email(QObject *parent) : QObject(parent), m_socket(new QSslSocket(this))
{
    connect(m_socket, &QSslSocket::readyRead, this, &Email::donneesRecues);
    connect(m_socket, &QSslSocket::errorOccurred, this, &Email::erreurSocket);
    connect(m_socket, &QSslSocket::encrypted, this, &Email::chiffre);
}

Email::~Email() = default;

void Email::setSeveurSmtp(const QString &serveur)
{
    if (serveur == m_serveur)
        return;
    m_serveur = serveur;
    emit SeveurSmtpChanged();
}

void Email::PieceJointeAjout(const QString &chemin)
{
    m_piecesJointes << chemin;
    m_avecPiecesJointes = true;
    emit FichiersJoints(m_piecesJointes.join(QLatin1Char(',')), int(m_piecesJointes.size()));
}

void Email::PieceJointeSuppr(const QString &chemin)
{
    m_piecesJointes.removeAll(chemin);
    emit FichiersJoints(m_piecesJointes.join(QLatin1Char(',')), int(m_piecesJointes.size()));
}

void Email::FermerWinsock()
{
    if (enCours())
        terminer(false, m_issue.derniereReponse.isEmpty() ? QStringLiteral("connexion fermée")
                                                          : m_issue.derniereReponse);
    m_socket->abort();
    m_recu.clear();
}

void Email::terminer(bool envoye, const QString &reponse)
{
    if (m_issue.termine)
        return;
    m_issue.termine = true;
    m_issue.envoye = envoye;
    if (!reponse.isEmpty())
        m_issue.derniereReponse = reponse;
}

Email::Issue Email::attendreFin(quint64 numero)
{
    Platform::Clock &horloge = Platform::clock();
    while (numero == m_numero && enCours()) {
        const qint64 maintenant = horloge.monotonicMs();
        if (maintenant - m_activiteMs >= SilenceMaxMs || maintenant - m_debutMs >= MailMaxMs) {
            const QString derniere = m_issue.derniereReponse;
            terminer(false, QStringLiteral("délai dépassé à l'étape %1, dernière réponse: %2")
                                .arg(m_etape)
                                .arg(derniere.isEmpty() ? QStringLiteral("aucune") : derniere));
            FermerWinsock();
            break;
        }
        horloge.processEventsFor(20);
    }
    if (numero != m_numero)
        return m_issuesPrecedentes.value(numero, {true, false, QStringLiteral("mail inconnu")});
    return m_issue;
}

quint64 Email::Envoie(const QString &expediteur, const QString &destinataire, const QString &sujet,
                      const QString &corps, qint32 port)
{
    // One mail at a time: the one in progress ends (or runs out of time) first.
    if (enCours())
        attendreFin(m_numero);
    emit Encodage(0, QString());
    m_piecesEncodees.clear();
    FermerWinsock();
    m_etape = 0;
    if (m_numero != 0) {
        m_issuesPrecedentes.insert(m_numero, m_issue);
        while (m_issuesPrecedentes.size() > 8)
            m_issuesPrecedentes.erase(m_issuesPrecedentes.begin());
    }
    m_numero = ++m_dernierNumero;
    m_issue = Issue{};
    m_debutMs = m_activiteMs = Platform::clock().monotonicMs();

    const std::optional<QString> nomExp = nomAdresse(expediteur);
    const std::optional<QString> nomDest = nomAdresse(destinataire);
    if (!nomExp || !nomDest) {
        terminer(false, QStringLiteral("adresse sans @"));
        throw MailRefuse(
            MailRefuse::Motif::AdresseSansArobase,
            QStringLiteral("Adresse sans @: \"%1\"").arg(nomExp ? destinataire : expediteur));
    }
    m_expediteur = expediteur;
    m_nomExpediteur = *nomExp;
    m_destinataire = destinataire;
    m_nomDestinataire = *nomDest;
    m_sujet = sujet;
    m_corps = corps;
    m_octetsEnvoyes = 0;

    m_tailleTotale = ligne(QStringLiteral("HELO ") + m_serveur).size() +
                     ligne(QStringLiteral("MAIL FROM: <%1>").arg(expediteur)).size() +
                     ligne(QStringLiteral("RCPT TO: <%1>").arg(destinataire)).size() +
                     ligne(QStringLiteral("DATA")).size() +
                     donneesMessage(expediteur, destinataire, sujet, corps, {}).size() + 4;

    if (m_avecPiecesJointes) {
        for (const QString &chemin : std::as_const(m_piecesJointes)) {
            QFile fichier(chemin);
            if (!fichier.open(QIODevice::ReadOnly)) {
                terminer(false, QStringLiteral("pièce jointe illisible"));
                throw MailRefuse(MailRefuse::Motif::PieceJointeIllisible,
                                 QStringLiteral("Pièce jointe illisible %1: %2")
                                     .arg(chemin, fichier.errorString()));
            }
            const QString nom = nomPieceJointe(chemin);
            m_piecesEncodees += blocUuencode(nom, fichier.readAll(),
                                             [this, &nom](int p) { emit Encodage(p, nom); });
            m_tailleTotale += m_piecesEncodees.size() + 2;
            ceder();
        }
    }
    signalerProgression();
    m_phase =
        m_securite.starttls || !m_securite.utilisateur.isEmpty() ? Phase::Accueil : Phase::Aucune;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!m_securite.ca.isEmpty())
        tls.addCaCertificates(m_securite.ca);
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(tls);
    m_activiteMs = Platform::clock().monotonicMs();
    m_socket->connectToHost(m_serveur, quint16(port));
    return m_numero;
}

void Email::donneesRecues()
{
    m_activiteMs = Platform::clock().monotonicMs();
    m_recu += m_socket->readAll();
    // Sending yields to events: a reply arriving meanwhile waits for the current one.
    if (m_dansReponse || !reponseComplete(m_recu))
        return;
    m_dansReponse = true;
    while (reponseComplete(m_recu) && m_socket->state() == QAbstractSocket::ConnectedState) {
        const QByteArray reponse = m_recu;
        m_recu.clear();
        traiterReponse(reponse);
        if (m_socket->isOpen())
            m_recu += m_socket->readAll();
    }
    m_dansReponse = false;
}

void Email::traiterReponse(const QByteArray &reponse)
{
    if (m_etape > DerniereEtape)
        return; // after QUIT: the server's goodbye
    const QString texteServeur = QString::fromUtf8(reponse).trimmed();
    m_issue.derniereReponse = texteServeur;
    bool ok = false;
    const int code = reponse.left(3).toInt(&ok);
    if (m_phase != Phase::Aucune && traiterSecurite(ok ? code : 0, texteServeur, reponse))
        return;
    const int etape = m_etape++;
    if (ok && code == Etapes[etape].code) {
        switch (etape) {
        case 0:
            envoyer(ligne(QStringLiteral("HELO ") + m_serveur));
            break;
        case 1:
            envoyer(ligne(QStringLiteral("MAIL FROM: <%1>").arg(m_expediteur)));
            break;
        case 2:
            envoyer(ligne(QStringLiteral("RCPT TO: <%1>").arg(m_destinataire)));
            break;
        case 3:
            envoyer(ligne(QStringLiteral("DATA")));
            break;
        case 4:
            envoyer(
                donneesMessage(m_expediteur, m_destinataire, m_sujet, m_corps, m_piecesEncodees));
            break;
        case 5:
            envoyer(ligne(QStringLiteral("QUIT")));
            break;
        }
        emit Reponse(QString::fromUtf8(Etapes[etape].texte), texteServeur);
        if (etape == DerniereEtape) {
            m_piecesJointes.clear();
            m_avecPiecesJointes = false;
            emit FichiersJoints(QString(), 0);
            terminer(true, texteServeur);
        }
        return;
    }
    // Refused: nothing more goes for this mail, whatever the server says next.
    terminer(false, texteServeur);
    m_etape = DerniereEtape + 1;
    if (etape == 3)
        emit Reponse(QStringLiteral("Le serveur n'est pas open relay ou alors le destinataire "
                                    "est inconnu"),
                     texteServeur);
    else
        emit Reponse(texteServeur, texteServeur);
    if (etape == DerniereEtape)
        envoyer(ligne(QStringLiteral("QUIT")));
}

bool Email::traiterSecurite(int code, const QString &texteServeur, const QByteArray &reponse)
{
    const auto attendu = [&](int voulu) {
        if (code == voulu)
            return true;
        refuser(texteServeur);
        return false;
    };
    switch (m_phase) {
    case Phase::Aucune:
        return false;
    case Phase::Accueil:
        if (attendu(220)) {
            envoyer(ligne(QStringLiteral("EHLO ") + m_serveur));
            m_phase = Phase::Ehlo;
            emit Reponse(QString::fromUtf8(Etapes[0].texte), texteServeur);
        }
        return true;
    case Phase::Ehlo:
        if (!attendu(250))
            return true;
        if (m_securite.starttls && !m_socket->isEncrypted()) {
            // Each line "250-STARTTLS" or "250 STARTTLS": the keyword after the code.
            bool propose = false;
            for (const QByteArray &l : reponse.split('\n'))
                propose = propose || l.mid(4).trimmed().toUpper() == "STARTTLS";
            if (!propose) {
                refuser(QStringLiteral("STARTTLS non proposé par le serveur: rien n'est envoyé "
                                       "en clair (%1)")
                            .arg(texteServeur));
                return true;
            }
            envoyer(ligne(QStringLiteral("STARTTLS")));
            m_phase = Phase::StartTls;
            return true;
        }
        if (!m_securite.utilisateur.isEmpty()) {
            if (!m_socket->isEncrypted()) {
                refuser(QStringLiteral("identifiants SMTP sans STARTTLS: jamais envoyés en "
                                       "clair"));
                return true;
            }
            const QByteArray plain = QByteArray(1, '\0') + m_securite.utilisateur.toUtf8() +
                                     QByteArray(1, '\0') + m_securite.motDePasse.toUtf8();
            envoyer(QByteArrayLiteral("AUTH PLAIN ") + plain.toBase64() + FinDeLigne);
            m_phase = Phase::Authentification;
            return true;
        }
        break;
    case Phase::StartTls:
        if (attendu(220)) {
            m_phase = Phase::Chiffrement;
            m_socket->startClientEncryption();
        }
        return true;
    case Phase::Chiffrement:
        // Nothing is sent before the handshake ends: a reply now is out of turn.
        refuser(texteServeur);
        return true;
    case Phase::Authentification:
        if (!attendu(235))
            return true;
        break;
    }
    // Protected (and logged in): the mail itself, from MAIL FROM on.
    m_phase = Phase::Aucune;
    m_etape = 2;
    emit Reponse(QString::fromUtf8(Etapes[1].texte), texteServeur);
    envoyer(ligne(QStringLiteral("MAIL FROM: <%1>").arg(m_expediteur)));
    return true;
}

void Email::chiffre()
{
    m_activiteMs = Platform::clock().monotonicMs();
    if (m_phase != Phase::Chiffrement)
        return;
    m_phase = Phase::Ehlo;
    envoyer(ligne(QStringLiteral("EHLO ") + m_serveur));
}

void Email::refuser(const QString &raison)
{
    m_phase = Phase::Aucune;
    terminer(false, raison);
    emit Reponse(raison, raison);
    m_socket->abort();
}

void Email::envoyer(const QByteArray &texte)
{
    if (texte.contains("\r\n\r\n")) {
        for (qsizetype i = 0; i < texte.size(); i += TailleTranche) {
            const QByteArray tranche = texte.mid(i, TailleTranche);
            m_socket->write(tranche);
            m_octetsEnvoyes += tranche.size();
            // Our own sending is not the server's silence.
            m_activiteMs = Platform::clock().monotonicMs();
            ceder();
            signalerProgression();
        }
        m_octetsEnvoyes = m_tailleTotale;
        signalerProgression();
        pauseApresDonnees();
        return;
    }
    for (char c : texte) {
        m_socket->write(&c, 1);
        ++m_octetsEnvoyes;
        ceder();
    }
}

void Email::pauseApresDonnees()
{
    Platform::Clock &horloge = Platform::clock();
    const qint64 debut = horloge.monotonicMs();
    while (horloge.monotonicMs() - debut < PauseApresDonneesMs) {
        horloge.processEventsFor(
            std::min<qint64>(20, PauseApresDonneesMs - (horloge.monotonicMs() - debut)));
        if (m_interrompre && m_interrompre())
            return;
    }
}

void Email::signalerProgression()
{
    const int pourcentage =
        m_tailleTotale > 0 ? int(qMin<qint64>(100, m_octetsEnvoyes * 100 / m_tailleTotale)) : 0;
    emit Progression(pourcentage, m_tailleTotale, m_octetsEnvoyes);
}

void Email::erreurSocket(QAbstractSocket::SocketError erreur)
{
    // The server closing after QUIT is the normal end of the dialogue.
    if (erreur == QAbstractSocket::RemoteHostClosedError && m_etape > DerniereEtape)
        return;
    terminer(false, m_socket->errorString());
    emit Reponse(QString::number(int(erreur)), m_socket->errorString());
}

} // namespace Movendi::Mail
