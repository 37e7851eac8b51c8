// The mail control and EnvoyerEmail against a real SMTP server on 127.0.0.1.
#include "certificatloopback.h"
#include "client/scaledclock.h"
#include "kiosktest.h"
#include "smtpserver.h"

#include "mail/email.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "reporting/envoyeremail.h"
#include "startup/installations.h"
#include "state/etatdemarrage.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace Movendi;
using namespace Movendi::Mail;
using namespace Movendi::Reporting;
using Movendi::Test::ReceivedMail;
using Movendi::Test::SmtpServer;

namespace {

class MailTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        createJournal();
        State::etat().CheminIni = path(QStringLiteral("RURUDIZ.ini"));
        connect();
    }
    void connect()
    {
        QObject::connect(&m_email, &Email::Reponse,
                         [this](const QString &etat, const QString &serveur) {
                             m_reponses << etat;
                             m_serveur << serveur;
                         });
    }
    void setting(const QString &key, const QString &value) const
    {
        ASSERT_TRUE(Platform::writeProfileString(State::etat().CheminIni, QStringLiteral("Email"),
                                                 key, value));
    }
    void configure(quint16 port) const
    {
        setting(QStringLiteral("SMTP"), QStringLiteral("127.0.0.1"));
        setting(QStringLiteral("Port"), QString::number(port));
        setting(QStringLiteral("MailFrom"), QStringLiteral("kiosque-07@movendi.test"));
    }
    // Handles events until the control has had its say or the time is up.
    void waitFor(const QString &reponse, int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (!m_reponses.contains(reponse) && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QByteArray randomBytes(int n) const
    {
        QByteArray b(n, '\0');
        for (char &c : b)
            c = char(QRandomGenerator::global()->bounded(256));
        return b;
    }

    Email m_email;
    // The dialogue runs on socket events: real time.
    const Platform::InstalledClock m_tempsReel{nullptr};
    const Startup::InstalledEmail1 m_email1{&m_email};
    QStringList m_reponses;
    QStringList m_serveur;
};

QString header(const ReceivedMail &mail, const char *name)
{
    for (const QByteArray &line : mail.content.split('\n')) {
        if (line.startsWith(name))
            return QString::fromUtf8(line.trimmed());
    }
    return {};
}

} // namespace

TEST_F(MailTest, MailWithTwoAttachmentsArrivesWhole)
{
    SmtpServer server;
    ASSERT_TRUE(server.start());
    const QByteArray panne = "Porte 12 bloquee\r\n";
    const QByteArray binaire = randomBytes(59 + 45 * 20); // a last line that starts with "."
    writeFile(QStringLiteral("epi/panne.txt"), panne);
    writeFile(QStringLiteral("rapport.bin"), binaire);
    QSignalSpy joints(&m_email, &Email::FichiersJoints);
    m_email.PieceJointeAjout(path(QStringLiteral("epi/panne.txt")));
    m_email.PieceJointeAjout(path(QStringLiteral("rapport.bin")));
    ASSERT_EQ(joints.size(), 2);
    EXPECT_EQ(joints.last().at(1).toInt(), 2);

    m_email.setSeveurSmtp(QStringLiteral("127.0.0.1"));
    m_email.Envoie(QStringLiteral("kiosque-07@movendi.test"),
                   QStringLiteral("tech@exploitation.test"), QStringLiteral("Panne distribution"),
                   QStringLiteral("Voir pièces jointes."), server.port());
    waitFor(QStringLiteral("Email envoyé avec succés..."));
    EXPECT_EQ(m_reponses.size(), 6) << m_serveur.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(m_reponses, QStringList({QStringLiteral("Connection"), QStringLiteral("Connecté..."),
                                       QStringLiteral("Mail From accepté..."),
                                       QStringLiteral("RCPT est accepté"),
                                       QStringLiteral("Envoie Email en cours..."),
                                       QStringLiteral("Email envoyé avec succés...")}));

    const QList<ReceivedMail> mails = server.mails();
    ASSERT_EQ(mails.size(), 1);
    const ReceivedMail &mail = mails.at(0);
    EXPECT_EQ(mail.mailFrom, QStringLiteral("kiosque-07@movendi.test"));
    EXPECT_EQ(mail.rcptTos, QStringList{QStringLiteral("tech@exploitation.test")});
    EXPECT_EQ(header(mail, "From: "),
              QStringLiteral("From: \"kiosque-07\" <kiosque-07@movendi.test>"));
    EXPECT_EQ(header(mail, "To: "), QStringLiteral("To: \"tech\" <tech@exploitation.test>"));
    EXPECT_EQ(header(mail, "Subject: "), QStringLiteral("Subject: Panne distribution"));
    EXPECT_TRUE(QString::fromUtf8(mail.content).contains(QStringLiteral("Voir pièces jointes.")));
    EXPECT_EQ(mail.attachments.value(QStringLiteral("panne.txt")), panne);
    EXPECT_EQ(mail.attachments.value(QStringLiteral("rapport.bin")), binaire);

    // A sent mail takes its attachments with it.
    EXPECT_TRUE(m_email.piecesJointes().isEmpty());
    EXPECT_EQ(joints.last().at(0).toString(), QString());
    EXPECT_EQ(joints.last().at(1).toInt(), 0);
}

TEST_F(MailTest, RefusedRecipientStopsBeforeData)
{
    SmtpServer server;
    ASSERT_TRUE(server.start({QStringLiteral("inconnu@exploitation.test")}));
    m_email.setSeveurSmtp(QStringLiteral("127.0.0.1"));
    QSignalSpy reponses(&m_email, &Email::Reponse);
    m_email.Envoie(QStringLiteral("kiosque@movendi.test"),
                   QStringLiteral("inconnu@exploitation.test"), QStringLiteral("s"),
                   QStringLiteral("b"), server.port());
    const QString relay =
        QStringLiteral("Le serveur n'est pas open relay ou alors le destinataire est inconnu");
    waitFor(relay);
    ASSERT_TRUE(m_reponses.contains(relay));
    EXPECT_TRUE(reponses.last().at(1).toString().startsWith(QStringLiteral("550")));
    // Nothing more is sent: the control waits, the server gets no DATA.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(m_reponses.last(), relay);
    EXPECT_TRUE(server.mails().isEmpty());
    m_email.FermerWinsock();
}

// A refusal ends the mail for good: replies the server sends after it, as if the mail went on,
// draw nothing more from the kiosk (the mail reported as not sent is never sent after all).
TEST_F(MailTest, RepliesAfterARefusal_NothingMoreSent)
{
    QTcpServer ecoute;
    ASSERT_TRUE(ecoute.listen(QHostAddress::LocalHost));
    QByteArray recu;
    QObject::connect(&ecoute, &QTcpServer::newConnection, [&] {
        QTcpSocket *c = ecoute.nextPendingConnection();
        c->write("554 pas de service pour vous\r\n");
        QObject::connect(c, &QTcpSocket::readyRead, c, [c, &recu] {
            recu += c->readAll();
            c->write("250 ok\r\n");
        });
        // Unasked, a moment later: what the next steps would have waited for.
        QTimer::singleShot(50, c, [c] { c->write("250 ok\r\n250 ok\r\n250 ok\r\n354 go\r\n"); });
    });
    m_email.setSeveurSmtp(QStringLiteral("127.0.0.1"));
    const quint64 mail = m_email.Envoie(QStringLiteral("kiosque@movendi.test"),
                                        QStringLiteral("compta@movendi.test"), QStringLiteral("s"),
                                        QStringLiteral("corps du mail"), ecoute.serverPort());
    const Email::Issue issue = m_email.attendreFin(mail);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(issue.envoye);
    EXPECT_TRUE(issue.derniereReponse.startsWith(QStringLiteral("554")))
        << issue.derniereReponse.toStdString();
    EXPECT_FALSE(recu.contains("MAIL FROM")) << recu.toStdString();
    EXPECT_FALSE(recu.contains("corps du mail")) << recu.toStdString();
    m_email.FermerWinsock();
}

TEST_F(MailTest, EachRecipientGetsAMailOfHisOwn)
{
    SmtpServer server;
    ASSERT_TRUE(server.start());
    configure(server.port());
    setting(QStringLiteral("Mailto1"), QStringLiteral("un@exploitation.test"));
    setting(QStringLiteral("Mailto2"), QStringLiteral("deux@exploitation.test"));
    setting(QStringLiteral("Mailto5"), QString());
    setting(QStringLiteral("Mailto6"), QStringLiteral("six@exploitation.test"));
    EnvoyerEmail(QStringLiteral("Rapport"), QStringLiteral("Aucune vente"));

    const QList<ReceivedMail> mails = server.mails();
    ASSERT_EQ(mails.size(), 3);
    const QStringList expected{QStringLiteral("un@exploitation.test"),
                               QStringLiteral("deux@exploitation.test"),
                               QStringLiteral("six@exploitation.test")};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mails.at(i).rcptTos, QStringList{expected.at(i)});
        const QString content = QString::fromUtf8(mails.at(i).content);
        for (int j = 0; j < 3; ++j) {
            if (j != i) {
                EXPECT_FALSE(content.contains(expected.at(j))) << i << j;
            }
        }
    }
    EXPECT_EQ(m_email.etape(), 6);
    EXPECT_TRUE(journalRows().isEmpty());
}

TEST_F(MailTest, AMailNotSentIsJournalledWithTheServersLastReply)
{
    // A recipient the server refuses, then a server that never answers.
    SmtpServer server;
    ASSERT_TRUE(server.start({QStringLiteral("inconnu@exploitation.test")}));
    QTcpServer muet;
    ASSERT_TRUE(muet.listen(QHostAddress::LocalHost));
    struct Cas
    {
        quint16 port;
        QString attendu;
    };
    for (const Cas &c : {Cas{server.port(), QStringLiteral("550")},
                         Cas{muet.serverPort(), QStringLiteral("délai dépassé")}}) {
        SCOPED_TRACE(c.attendu.toStdString());
        configure(c.port);
        setting(QStringLiteral("Mailto1"), QStringLiteral("inconnu@exploitation.test"));
        const qsizetype avant = journalRows().size();
        EnvoyerEmail(QStringLiteral("Rapport d'activité"), QStringLiteral("corps"));
        const QList<Movendi::Test::JournalRow> rows = journalRows().mid(avant);
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows.at(0).contexte, QStringLiteral("EnvoyerEmail"));
        EXPECT_TRUE(rows.at(0).erreur.contains(c.attendu)) << rows.at(0).erreur.toStdString();
        EXPECT_TRUE(rows.at(0).erreur.contains(QStringLiteral("inconnu@exploitation.test")));
    }
}

// A server that requires STARTTLS and a login: the mail goes only encrypted, to a certificate
// the kiosk can check, with the right account; the password never goes in clear.
TEST_F(MailTest, ServerRequiringTlsAndLogin_MailGoesOnlyEncryptedCheckedAndLoggedIn)
{
    const std::optional<Movendi::Test::CertificatLoopback> tls =
        Movendi::Test::creerCertificatLoopback(folder());
    ASSERT_TRUE(tls);
    SmtpServer server;
    server.requireTls(tls->certificat, tls->cle, QStringLiteral("kiosque-07"),
                      QStringLiteral("s3cret-smtp"));
    ASSERT_TRUE(server.start());
    configure(server.port());
    setting(QStringLiteral("Mailto1"), QStringLiteral("tech@exploitation.test"));
    const struct
    {
        const char *starttls;
        QString ca;
        const char *utilisateur;
        const char *motDePasse;
        const char *raison; // in the journal; none when the mail goes
    } cas[] = {
        {"NON", QString(), "", "", "530"},
        {"NON", QString(), "kiosque-07", "s3cret-smtp", "sans STARTTLS"},
        {"OUI", QString(), "kiosque-07", "s3cret-smtp", "certificate"},
        {"OUI", tls->certificat, "kiosque-07", "faux", "535"},
        {"OUI", tls->certificat, "kiosque-07", "s3cret-smtp", nullptr},
    };
    for (const auto &c : cas) {
        SCOPED_TRACE(std::string(c.starttls) + " ca=" + c.ca.toStdString() + " " + c.motDePasse);
        setting(QStringLiteral("STARTTLS"), QLatin1String(c.starttls));
        setting(QStringLiteral("CA"), c.ca);
        setting(QStringLiteral("Utilisateur"), QLatin1String(c.utilisateur));
        setting(QStringLiteral("MotDePasse"), QLatin1String(c.motDePasse));
        const qsizetype avant = journalRows().size();
        const qsizetype recus = server.mails().size();
        EnvoyerEmail(QStringLiteral("Rapport d'activité"), QStringLiteral("corps"));
        const QList<Movendi::Test::JournalRow> rows = journalRows().mid(avant);
        if (c.raison) {
            EXPECT_EQ(server.mails().size(), recus);
            ASSERT_EQ(rows.size(), 1);
            EXPECT_TRUE(rows.at(0).erreur.contains(QLatin1String(c.raison), Qt::CaseInsensitive))
                << rows.at(0).erreur.toStdString();
        } else {
            EXPECT_TRUE(rows.isEmpty()) << rows.value(0).erreur.toStdString();
            ASSERT_EQ(server.mails().size(), recus + 1);
            EXPECT_EQ(server.mails().last().rcptTos,
                      QStringList{QStringLiteral("tech@exploitation.test")});
        }
    }
}

TEST_F(MailTest, ASecondMailWaitsForTheFirstInsteadOfCuttingItShort)
{
    SmtpServer server;
    ASSERT_TRUE(server.start());
    configure(server.port());
    setting(QStringLiteral("Mailto1"), QStringLiteral("un@exploitation.test"));
    // A timer (the hourly alarm, a fault report) mails while the first mail is under way.
    QTimer::singleShot(0, [] { EnvoyerEmail(QStringLiteral("second"), QStringLiteral("b")); });
    EnvoyerEmail(QStringLiteral("premier"), QStringLiteral("a"));
    QElapsedTimer t;
    t.start();
    while (server.mails().size() < 2 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QList<ReceivedMail> mails = server.mails();
    ASSERT_EQ(mails.size(), 2);
    QStringList sujets;
    for (const ReceivedMail &m : mails)
        sujets << header(m, "Subject: ");
    sujets.sort();
    EXPECT_EQ(sujets,
              (QStringList{QStringLiteral("Subject: premier"), QStringLiteral("Subject: second")}));
    EXPECT_TRUE(journalRows().isEmpty());
}

TEST_F(MailTest, AbsentFirstRecipientFallsBackToTheSiteDefault)
{
    SmtpServer server;
    ASSERT_TRUE(server.start());
    configure(server.port());
    EnvoyerEmail(QStringLiteral("test"), QStringLiteral("Test d' Email Da VUDU2"));
    const QList<ReceivedMail> mails = server.mails();
    ASSERT_EQ(mails.size(), 1);
    EXPECT_EQ(mails.at(0).rcptTos, QStringList{QString::fromLatin1(DestinataireParDefaut)});
}

TEST_F(MailTest, AddressWithoutAtSignFailsBeforeConnecting)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    configure(listener.serverPort());
    setting(QStringLiteral("Mailto1"), QStringLiteral("sans-arobase.exploitation.test"));
    setting(QStringLiteral("Mailto2"), QStringLiteral("deux@exploitation.test"));
    QElapsedTimer t;
    t.start();
    EnvoyerEmail(QStringLiteral("s"), QStringLiteral("b"));
    EXPECT_LT(t.elapsed(), 900) << "no wait after a failure";
    QCoreApplication::processEvents();
    EXPECT_FALSE(listener.hasPendingConnections());
    const QList<Movendi::Test::JournalRow> rows = journalRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).contexte, QStringLiteral("EnvoyerEmail"));
    EXPECT_TRUE(rows.at(0).erreur.startsWith(QStringLiteral("N°: 5 ")))
        << rows.at(0).erreur.toStdString();
}

TEST_F(MailTest, UnreadableAttachmentIsJournalled)
{
    configure(1);
    m_email.PieceJointeAjout(path(QStringLiteral("absent.txt")));
    EnvoyerEmail(QStringLiteral("s"), QStringLiteral("b"));
    const QList<Movendi::Test::JournalRow> rows = journalRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).contexte, QStringLiteral("EnvoyerEmail"));
    EXPECT_TRUE(rows.at(0).erreur.contains(QStringLiteral("absent.txt")));
}

TEST_F(MailTest, SilentServerLeavesTheKioskResponsive)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    configure(listener.serverPort());
    setting(QStringLiteral("Mailto2"), QStringLiteral("deux@exploitation.test"));
    int ticks = 0;
    QTimer ui;
    QObject::connect(&ui, &QTimer::timeout, [&ticks] { ++ticks; });
    ui.start(50);
    QElapsedTimer t;
    t.start();
    EnvoyerEmail(QStringLiteral("s"), QStringLiteral("b"));
    EXPECT_LT(t.elapsed(), 4000);
    EXPECT_GE(ticks, 20) << "events were handled during the waits";
    EXPECT_EQ(m_email.etape(), 0);
    QCoreApplication::processEvents();
    ASSERT_TRUE(listener.hasPendingConnections());
    QTcpSocket *accepted = listener.nextPendingConnection();
    // The control closed its side: the server sees the end of the connection.
    QElapsedTimer closed;
    closed.start();
    while (accepted->state() == QAbstractSocket::ConnectedState && closed.elapsed() < 3000) {
        accepted->waitForReadyRead(50);
        QCoreApplication::processEvents();
    }
    EXPECT_NE(accepted->state(), QAbstractSocket::ConnectedState);
}

// Servers that misbehave as real ones do: one that trickles an endless greeting a byte at a time
// (never silent long enough to be given up for silence), one that closes in the middle of its
// reply. Each mail ends within the mail's limit, is journalled once, and the next goes.
TEST_F(MailTest, TricklingOrClosingMidReply_BoundedJournalledOnceNextMailGoes)
{
    enum class Pair { Goutte, Coupe };
    for (const Pair pair : {Pair::Goutte, Pair::Coupe}) {
        SCOPED_TRACE(pair == Pair::Goutte ? "un octet à la fois" : "coupé en pleine réponse");
        QTcpServer ecoute;
        ASSERT_TRUE(ecoute.listen(QHostAddress::LocalHost));
        QList<QTcpSocket *> clients;
        QTimer goutte;
        qsizetype envoye = 0;
        const QByteArray sansFin = "220-bienvenue, encore un peu de patience\r\n";
        QObject::connect(&ecoute, &QTcpServer::newConnection, [&] {
            QTcpSocket *c = ecoute.nextPendingConnection();
            clients << c;
            if (pair == Pair::Coupe) {
                c->write("220-smtp.exploitation.test\r\n220-ESMTP en pan");
                c->flush();
                c->disconnectFromHost();
            }
        });
        QObject::connect(&goutte, &QTimer::timeout, [&] {
            for (QTcpSocket *c : std::as_const(clients)) {
                if (c->state() == QAbstractSocket::ConnectedState)
                    c->write(sansFin.mid(envoye % sansFin.size(), 1));
            }
            ++envoye;
        });
        if (pair == Pair::Goutte)
            goutte.start(100);
        configure(ecoute.serverPort());
        setting(QStringLiteral("Mailto1"), QStringLiteral("tech@exploitation.test"));

        // The kiosk's time runs 20 times as fast: its minute-long limit passes in 3 s, while
        // each byte (every 2 s of its time) comes before it would call the server silent.
        Movendi::Client::ScaledClock rapide(20);
        const qsizetype avant = journalRows().size();
        qint64 duree = 0;
        {
            const Platform::InstalledClock installee(&rapide);
            const qint64 debut = rapide.monotonicMs();
            EnvoyerEmail(QStringLiteral("Rapport d'activité"), QStringLiteral("corps"));
            duree = rapide.monotonicMs() - debut;
        }
        goutte.stop();
        EXPECT_LE(duree, Email::MailMaxMs + 2000);
        const QList<Movendi::Test::JournalRow> rows = journalRows().mid(avant);
        ASSERT_EQ(rows.size(), 1);
        EXPECT_TRUE(rows.at(0).erreur.contains(QStringLiteral("tech@exploitation.test")));
        if (pair == Pair::Goutte) {
            EXPECT_TRUE(rows.at(0).erreur.contains(QStringLiteral("délai dépassé")))
                << rows.at(0).erreur.toStdString();
        }

        // The next mail, to a server that behaves, goes.
        SmtpServer bon;
        ASSERT_TRUE(bon.start());
        configure(bon.port());
        EnvoyerEmail(QStringLiteral("Rapport d'activité"), QStringLiteral("corps"));
        EXPECT_EQ(bon.mails().size(), 1);
        EXPECT_EQ(journalRows().size(), avant + 1);
    }
}

TEST_F(MailTest, SettingsAndDefaults)
{
    const ReglagesEmail defaults = LireReglagesEmail(State::etat().CheminIni);
    EXPECT_EQ(defaults.serveur, QString::fromLatin1(ServeurSmtpParDefaut));
    EXPECT_EQ(defaults.expediteur, QString::fromLatin1(ExpediteurParDefaut));
    ASSERT_EQ(defaults.destinataires.size(), 20);
    EXPECT_EQ(defaults.destinataires.at(0), QString::fromLatin1(DestinataireParDefaut));
    EXPECT_EQ(defaults.destinataires.at(19), QString());
    EXPECT_EQ(defaults.port, 25);
    setting(QStringLiteral("Port"), QStringLiteral("40025"));
    setting(QStringLiteral("Mailto1"), QString());
    setting(QStringLiteral("Mailto20"), QStringLiteral("vingt@x.test"));
    const ReglagesEmail set = LireReglagesEmail(State::etat().CheminIni);
    EXPECT_EQ(set.port, 40025);
    EXPECT_EQ(set.destinataires.at(0), QString());
    EXPECT_EQ(set.destinataires.at(19), QStringLiteral("vingt@x.test"));
    setting(QStringLiteral("Port"), QStringLiteral("smtp"));
    EXPECT_EQ(LireReglagesEmail(State::etat().CheminIni).port, 25);
}
