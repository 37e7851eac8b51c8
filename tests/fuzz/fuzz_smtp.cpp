// libFuzzer target: any replies from an SMTP server, to the mail client as the kiosk and the
// back-office send with it. A loopback server sends the input's replies (parts separated by NUL
// bytes), one after each command of the client, then closes. Whatever they are, the dialogue
// ends; the mail's text goes only after a 354 reply; a mail counts as sent only once its data
// ended; and when the dialogue must be protected (the first byte says so), neither the mail nor
// the password ever crosses in clear.
#include "mail/email.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <cstdlib>

using namespace Movendi::Mail;

namespace {

const QByteArray Corps = "CORPS-DU-MAIL-FUZZ";
const QByteArray MotDePasse = "secret-fuzz";

// Client commands complete in what the server received: each line, and a message's data up to
// its end as one.
int commandesCompletes(const QByteArray &recu)
{
    int n = 0;
    qsizetype i = 0;
    while (i < recu.size()) {
        const bool donnees = recu.mid(i).startsWith("Date:") || recu.mid(i).startsWith("From:");
        const qsizetype fin = donnees ? recu.indexOf("\r\n.\r\n", i) : recu.indexOf("\r\n", i);
        if (fin < 0)
            break;
        i = fin + (donnees ? 5 : 2);
        ++n;
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool protege = data[0] & 1;
    const QList<QByteArray> reponses =
        QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1).split('\0');

    static QTcpServer serveur;
    if (!serveur.isListening() && !serveur.listen(QHostAddress::LocalHost))
        std::abort();
    Email mail;
    mail.setSeveurSmtp(QStringLiteral("127.0.0.1"));
    if (protege)
        mail.setSecurite(
            {true, QString(), QStringLiteral("kiosque"), QString::fromLatin1(MotDePasse)});
    mail.setInterruption([] { return true; });
    const quint64 numero =
        mail.Envoie(QStringLiteral("kiosque@example.org"), QStringLiteral("compta@example.org"),
                    QStringLiteral("Ventes"), QString::fromLatin1(Corps), serveur.serverPort());
    if (!serveur.waitForNewConnection(5000))
        std::abort();
    QTcpSocket *client = serveur.nextPendingConnection();
    QByteArray recu;
    QByteArray serveurDit;
    bool accord354 = false;
    bool donneesAvant354 = false;
    int envoyees = 0;
    for (const QByteArray &r : reponses) {
        if (client->state() != QAbstractSocket::ConnectedState)
            break;
        client->write(r);
        client->flush();
        serveurDit += r;
        // A 354 reply, whole, among what the server said so far (it may come in pieces).
        accord354 = accord354 || serveurDit.startsWith("354") || serveurDit.contains("\n354");
        // Until the client says its next command, or has nothing more to say.
        for (int passe = 0; passe < 20 && commandesCompletes(recu) <= envoyees; ++passe) {
            // Both ends are on this thread: the client answers while events are handled.
            QCoreApplication::processEvents();
            client->waitForReadyRead(0);
            const QByteArray nouveau = client->readAll();
            if (nouveau.contains(Corps) && !accord354)
                donneesAvant354 = true;
            recu += nouveau;
        }
        ++envoyees;
    }
    client->disconnectFromHost();
    const Email::Issue issue = mail.attendreFin(numero);
    recu += client->readAll();
    delete client;

    if (!issue.termine || donneesAvant354)
        std::abort();
    if (issue.envoye && !recu.contains("\r\n.\r\n"))
        std::abort();
    // The server never completes a TLS handshake: a protected dialogue says nothing of the mail.
    const QByteArray plain = QByteArray(1, '\0') + "kiosque" + QByteArray(1, '\0') + MotDePasse;
    if (protege && (recu.contains(Corps) || recu.contains("MAIL FROM") ||
                    recu.contains(plain.toBase64()) || issue.envoye))
        std::abort();
    return 0;
}
