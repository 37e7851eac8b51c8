// The sale details sent to a real FTP server on 127.0.0.1 (pyftpdlib), the workbooks read back
// with xlrd.
#include "certificatloopback.h"
#include "client/scaledclock.h"
#include "ftpserver.h"
#include "kiosktest.h"
#include "lecturexls.h"

#include "commandes.h"
#include "platform/ftpupload.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "reporting/synchrserv.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

using namespace Movendi;
using namespace Movendi::Reporting;
using Movendi::Test::FtpServer;
using Movendi::Test::JournalRow;
using namespace Movendi::Test;
using Movendi::Client::ScaledClock;
using State::etat;

namespace {

// Small limits: what a dead or silent server costs, in test time.
constexpr Platform::FtpLimits LimitesTest{1000, 1, 4000};
// A run ends within its overall limit plus the closing of the connection (one stall limit).
constexpr qint64 BorneMs = LimitesTest.runMs + LimitesTest.stallSeconds * 1000;

const QString Identite = QStringLiteral("KIOSQUE-T1");

class SynchrServTest : public Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        useApplicationFolder();
        createJournal();
        etat().IdentiteMachine = Identite;
        ASSERT_TRUE(QDir().mkpath(home()));
    }

    QString home() const { return path(QStringLiteral("ftp-home")); }
    QString recu(const QString &nom) const
    {
        return home() + QStringLiteral("/Telvio/Sync/") + nom;
    }
    QString local(const QString &nom) const { return path(QStringLiteral("SyncrhoServ/") + nom); }
    static QByteArray contenu(const QString &chemin)
    {
        QFile f(chemin);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The kiosk pointed at the server, with the account's password.
    void demarrerServeur(FtpServer::Behaviour comportement, qint64 apres = 1024)
    {
        ASSERT_TRUE(m_ftp.start(home(), QLatin1String(FtpServer::Password), comportement, apres));
        configurerPort(m_ftp.port());
    }
    void configurerPort(quint16 port)
    {
        const QString ini = etat().CheminIni;
        ASSERT_TRUE(Platform::writeProfileString(
            ini, QStringLiteral("FTP"), QStringLiteral("Serveur"), QStringLiteral("127.0.0.1")));
        ASSERT_TRUE(Platform::writeProfileString(ini, QStringLiteral("FTP"),
                                                 QStringLiteral("Utilisateur"),
                                                 QLatin1String(FtpServer::User)));
        ASSERT_TRUE(Platform::writeProfileString(ini, QStringLiteral("FTP"),
                                                 QStringLiteral("MotDePasse"),
                                                 QLatin1String(FtpServer::Password)));
        ASSERT_TRUE(Platform::writeProfileString(ini, QStringLiteral("FTP"), QStringLiteral("Port"),
                                                 QString::number(port)));
    }

    Store::ResultatRequete lire(const QString &sql, const QVariantList &p = {}) const
    {
        Store::StoreDatabase base;
        return base.lire(sql, p);
    }
    void executer(const QString &sql, const QVariantList &p = {}) const
    {
        Store::StoreDatabase base;
        base.executer(sql, p);
    }

    // A phone sale with one detail row; returns the detail's key.
    qint64 vendre(const QString &imei, QVariant synchro = {}) const
    {
        Store::StoreDatabase base;
        const QVariant reference = base.lire(QStringLiteral("SELECT Reference FROM ArticleEnStock "
                                                            "WHERE Famille = 1 ORDER BY Reference"))
                                       .valeur(0, QStringLiteral("Reference"));
        const qint64 vente = base.inserer(
            QStringLiteral(
                "INSERT INTO Ventes (LaDate, DateTelecollecte, NoCBClient, IdentMachine, "
                "NoRemiseTelecollecte, Ticket) VALUES (?, NULL, ?, ?, ?, ?)"),
            {QStringLiteral("2026-12-08 09:58:07"), QStringLiteral("497010******7893"), Identite,
             42, QStringLiteral("TICKET\r\nMERCI")});
        return base.inserer(
            QStringLiteral("INSERT INTO DetailVente (NoVente, Montant, EcoTaxe, TVA, RefProduit, "
                           "Designation, Marque, NoIMEI, NoSIM, Quantite, NoFamille, NoCommande, "
                           "TypeMouvement, SynchroServ) VALUES (?, 499000, 1000, 19.6, ?, ?, ?, ?, "
                           "NULL, 1, 1, ?, 1, ?)"),
            {vente, reference, QStringLiteral("Galaxy A15 – noir"), QStringLiteral("Samsung"), imei,
             QStringLiteral("CMD-7"),
             synchro.isValid() ? synchro : QVariant(QMetaType(QMetaType::Int))});
    }
    QVariant synchro(qint64 detail) const
    {
        return lire(QStringLiteral("SELECT SynchroServ FROM DetailVente WHERE Id = ?"), {detail})
            .valeur(0, QStringLiteral("SynchroServ"));
    }
    // FichierTransfer as name -> Transfert.
    QMap<QString, int> fichiers() const
    {
        QMap<QString, int> f;
        const Store::ResultatRequete r =
            lire(QStringLiteral("SELECT NomFichier, Transfert FROM FichierTransfer"));
        for (qsizetype i = 0; i < r.lignes.size(); ++i)
            f.insert(r.valeur(i, QStringLiteral("NomFichier")).toString(),
                     r.valeur(i, QStringLiteral("Transfert")).toInt());
        return f;
    }
    QStringList contextesJournal() const
    {
        QStringList c;
        for (const JournalRow &r : journalRows())
            c << r.contexte + QStringLiteral(": ") + r.erreur;
        return c;
    }

    ScaledClock m_reel{1};
    Platform::CurlFtpUploads m_uploads{LimitesTest};
    // The server answers in real time: so do the kiosk's waits and limits.
    const Platform::InstalledClock m_reelInstallee{&m_reel};
    const Platform::InstalledFtpUploads m_uploadsInstalles{&m_uploads};
    FtpServer m_ftp;
};

TEST_F(SynchrServTest, SaleExportedUploadedAndMarked_FolderMadeEmptyNameSkipped)
{
    demarrerServeur(FtpServer::Behaviour::Normal);
    ASSERT_FALSE(QFileInfo::exists(path(QStringLiteral("SyncrhoServ"))));
    executer(QStringLiteral("INSERT INTO FichierTransfer (NomFichier) VALUES ('')"));
    // This second's name is already taken by a file sent earlier: the next second is used.
    executer(QStringLiteral("INSERT INTO FichierTransfer (NomFichier, Transfert) VALUES (?, 1)"),
             {QStringLiteral("SyncKIOSQUE-T108122026100000.xls")});
    const qint64 detail = vendre(QStringLiteral("356938035643809"));
    etat().TransfertTermine = false;

    // At 10:00:00 exactly, whatever the set-up took.
    {
        ScaledClock horloge(1);
        const Platform::InstalledClock installee(&horloge);
        TransferFTP();
    }

    const QString nom = QStringLiteral("SyncKIOSQUE-T108122026100001.xls");
    const QMap<QString, int> attendus{
        {QString(), 0}, {QStringLiteral("SyncKIOSQUE-T108122026100000.xls"), 1}, {nom, 1}};
    EXPECT_EQ(fichiers(), attendus);
    EXPECT_EQ(synchro(detail), QVariant(1));
    EXPECT_TRUE(etat().TransfertTermine);
    const QByteArray ecrit = contenu(local(nom));
    ASSERT_FALSE(ecrit.isEmpty());
    EXPECT_EQ(contenu(recu(nom)), ecrit);
    EXPECT_EQ(QDir(home() + QStringLiteral("/Telvio/Sync")).entryList(QDir::Files),
              QStringList{nom});
    EXPECT_TRUE(journalRows().isEmpty()) << contextesJournal().join('\n').toStdString();
    EXPECT_TRUE(m_boxes.shown().isEmpty());

    const QJsonArray feuilles = lireAvecXlrd(recu(nom));
    ASSERT_EQ(feuilles.size(), 1);
    EXPECT_EQ(feuilles.at(0)[QStringLiteral("name")].toString(), QStringLiteral("Detail"));
    const QJsonArray lignes = feuilles.at(0)[QStringLiteral("rows")].toArray();
    ASSERT_EQ(lignes.size(), 2);
    QStringList entete;
    for (const QJsonValue &c : lignes.at(0).toArray())
        entete << c.toArray().at(1).toString();
    EXPECT_EQ(entete, colonnesDetail());
    EXPECT_EQ(entete.size(), 23);

    const QJsonArray ligne = lignes.at(1).toArray();
    ASSERT_EQ(ligne.size(), 23);
    auto cellule = [&](const char *colonne) {
        return ligne.at(colonnesDetail().indexOf(QLatin1String(colonne))).toArray();
    };
    const QString reference = lire(QStringLiteral("SELECT RefProduit FROM DetailVente"))
                                  .valeur(0, QStringLiteral("RefProduit"))
                                  .toString();
    const qint64 vente = lire(QStringLiteral("SELECT NoVente FROM DetailVente"))
                             .valeur(0, QStringLiteral("NoVente"))
                             .toLongLong();
    struct Attendu
    {
        const char *colonne;
        int type;
        QJsonValue valeur; // Undefined: not compared
    };
    const Attendu attendu[] = {
        {"NumVente", Nombre, double(vente)},
        {"LaDate", Date, {}},
        {"NoCBClient", Texte, QStringLiteral("497010******7893")},
        {"TypeMouvement", Nombre, 1.0},
        {"IdentMachine", Texte, Identite},
        {"NoRemiseTelecollecte", Nombre, 42.0},
        {"DateTelecollecte", Vide, {}},
        {"Ticket", Texte, QStringLiteral("TICKET\r\nMERCI")},
        {"NoVente", Nombre, double(vente)},
        {"Montant", Nombre, 49.9},
        {"EcoTaxe", Nombre, 0.1},
        {"TVA", Nombre, 19.6},
        {"RefProduit", Texte, reference},
        {"Designation", Texte, QStringLiteral("Galaxy A15 – noir")},
        {"Marque", Texte, QStringLiteral("Samsung")},
        {"NoIMEI", Texte, QStringLiteral("356938035643809")},
        {"NoSIM", Vide, {}},
        {"Quantite", Nombre, 1.0},
        {"NoFamille", Nombre, 1.0},
        {"EAN13recharge", Vide, {}},
        {"NoSerieRecharge", Vide, {}},
        {"SynchroServ", Vide, {}}, // as it was when exported
        {"NoCommande", Texte, QStringLiteral("CMD-7")},
    };
    for (const Attendu &a : attendu) {
        const QJsonArray c = cellule(a.colonne);
        EXPECT_EQ(c.at(0).toInt(), a.type) << a.colonne;
        if (a.valeur.isString()) {
            EXPECT_EQ(c.at(1).toString(), a.valeur.toString()) << a.colonne;
        } else if (a.valeur.isDouble()) {
            EXPECT_NEAR(c.at(1).toDouble(), a.valeur.toDouble(), 1e-9) << a.colonne;
        }
    }
    EXPECT_EQ(cellule("LaDate").at(3).toArray(), (QJsonArray{2026, 12, 8, 9, 58, 7}));
}

TEST_F(SynchrServTest, NothingNewToExport_NoFileAndNoUpload)
{
    demarrerServeur(FtpServer::Behaviour::Normal);
    // An older file still waiting, and a sale already sent.
    writeFile(QStringLiteral("SyncrhoServ/SyncKIOSQUE-T101122026100000.xls"), "ancien");
    executer(QStringLiteral("INSERT INTO FichierTransfer (NomFichier) VALUES (?)"),
             {QStringLiteral("SyncKIOSQUE-T101122026100000.xls")});
    vendre(QStringLiteral("356938035643809"), 1);

    TransferFTP();

    EXPECT_EQ(QDir(path(QStringLiteral("SyncrhoServ"))).entryList(QDir::Files),
              QStringList{QStringLiteral("SyncKIOSQUE-T101122026100000.xls")});
    EXPECT_EQ(fichiers(),
              (QMap<QString, int>{{QStringLiteral("SyncKIOSQUE-T101122026100000.xls"), 0}}));
    EXPECT_FALSE(QFileInfo::exists(home() + QStringLiteral("/Telvio")));
    EXPECT_TRUE(journalRows().isEmpty()) << contextesJournal().join('\n').toStdString();
}

// More unsent details than a sheet holds: the first workbook takes the oldest 65 535 and marks
// exactly those (the unsent kinds NULL and 0 alike, rows sent before left as they are), the
// rest go with the next run.
TEST_F(SynchrServTest, MoreDetailsThanASheetHolds_OldestGoFirstAndExactlyThoseAreMarked)
{
    demarrerServeur(FtpServer::Behaviour::Normal);
    const qint64 premier = vendre(QStringLiteral("356938035643809"));
    // Copies of the first, every 1000th already sent, the others alternately NULL and 0.
    executer(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 65601) "
            "INSERT INTO DetailVente (NoVente, Montant, EcoTaxe, TVA, RefProduit, Designation, "
            "Marque, "
            "NoIMEI, NoSIM, Quantite, NoFamille, NoCommande, TypeMouvement, SynchroServ) "
            "SELECT NoVente, Montant, EcoTaxe, TVA, RefProduit, Designation, Marque, "
            "printf('35693803%07d', i), NoSIM, Quantite, NoFamille, NoCommande, TypeMouvement, "
            "CASE WHEN i % 1000 = 0 THEN 1 WHEN i % 2 = 0 THEN 0 END "
            "FROM DetailVente, n WHERE Id = ?"),
        {premier});
    const auto compte = [this](const QString &sql) {
        return lire(sql).lignes.value(0).value(0).toLongLong();
    };
    ASSERT_EQ(compte(QStringLiteral("SELECT COUNT(*) FROM Detail")), 65537);

    TransferFTP();

    // The two left are the newest of all; every row marked is older than they are.
    EXPECT_EQ(compte(QStringLiteral("SELECT COUNT(*) FROM Detail")), 2);
    EXPECT_GT(compte(QStringLiteral("SELECT MIN(IdDetail) FROM Detail")),
              compte(QStringLiteral("SELECT MAX(Id) FROM DetailVente WHERE SynchroServ = 1")));
    EXPECT_EQ(compte(QStringLiteral("SELECT COUNT(*) FROM DetailVente WHERE SynchroServ = 1")),
              65535 + 65);
    EXPECT_EQ(fichiers().size(), 1);

    TransferFTP();

    EXPECT_EQ(compte(QStringLiteral("SELECT COUNT(*) FROM Detail")), 0);
    const QMap<QString, int> envoyes = fichiers();
    ASSERT_EQ(envoyes.size(), 2);
    for (auto it = envoyes.cbegin(); it != envoyes.cend(); ++it) {
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
        EXPECT_EQ(contenu(recu(it.key())), contenu(local(it.key()))) << it.key().toStdString();
    }
}

// A server that requires TLS: the kiosk sends only over TLS to a certificate it can check;
// in clear, or to a certificate no authority it knows signed, nothing goes and the run says why.
TEST_F(SynchrServTest, ServerRequiringTls_FilesGoOnlyOverTlsToACheckedCertificate)
{
    const std::optional<Movendi::Test::CertificatLoopback> tls =
        Movendi::Test::creerCertificatLoopback(folder());
    ASSERT_TRUE(tls);
    const QString certificat = tls->certificat;
    m_ftp.requireTls(certificat, tls->cle);
    demarrerServeur(FtpServer::Behaviour::Normal);

    const struct
    {
        const char *nom;
        const char *ftps;
        QString ca;
        const char *raison; // in the journal when nothing went
    } cas[] = {
        {"en clair", "NON", QString(), "550"},
        {"certificat d'une autorité inconnue", "OUI", QString(), "certificate"},
        {"certificat vérifié", "OUI", certificat, nullptr},
    };
    const QString ini = etat().CheminIni;
    for (const auto &c : cas) {
        SCOPED_TRACE(c.nom);
        ASSERT_TRUE(Platform::writeProfileString(ini, QStringLiteral("FTP"), QStringLiteral("FTPS"),
                                                 QLatin1String(c.ftps)));
        ASSERT_TRUE(
            Platform::writeProfileString(ini, QStringLiteral("FTP"), QStringLiteral("CA"), c.ca));
        const qsizetype avant = journalRows().size();
        vendre(QStringLiteral("356938035643809"));
        TransferFTP();
        const QList<JournalRow> nouvelles = journalRows().mid(avant);
        const QStringList recus =
            QDir(home() + QStringLiteral("/Telvio/Sync")).entryList(QDir::Files);
        if (c.raison) {
            EXPECT_TRUE(recus.isEmpty());
            EXPECT_FALSE(fichiers().values().contains(1));
            ASSERT_EQ(nouvelles.size(), 1);
            EXPECT_TRUE(
                nouvelles.first().erreur.contains(QLatin1String(c.raison), Qt::CaseInsensitive))
                << nouvelles.first().erreur.toStdString();
        } else {
            // Every file that waited goes, each whole.
            EXPECT_EQ(recus.size(), fichiers().size());
            EXPECT_FALSE(fichiers().values().contains(0));
            for (const QString &nom : recus)
                EXPECT_EQ(contenu(recu(nom)), contenu(local(nom))) << nom.toStdString();
            EXPECT_TRUE(nouvelles.isEmpty()) << contextesJournal().join('\n').toStdString();
        }
    }
}

struct ServeurDefaillant
{
    const char *nom;
    FtpServer::Behaviour comportement;
    qint64 silencieuxApres;   // bytes, for a server silent mid-transfer
    qint64 grosFichierOctets; // a waiting file sent first, 0 for none
    bool serveurArrete;       // nothing listening at all
};

void PrintTo(const ServeurDefaillant &cas, std::ostream *os)
{
    *os << cas.nom;
}

class SynchrServPanneTest : public SynchrServTest,
                            public ::testing::WithParamInterface<ServeurDefaillant>
{
};

// The file stays at Transfert 0 and the run ends within the bound; once the server answers
// again, the next sale's run sends every waiting file whole.
TEST_P(SynchrServPanneTest, FileStaysWaitingWithinTheBound_NextRunSendsIt)
{
    const ServeurDefaillant cas = GetParam();
    QString gros;
    if (cas.grosFichierOctets > 0) {
        // Larger than the loopback's buffers, so that the upload itself stalls.
        gros = QStringLiteral("SyncKIOSQUE-T130112026080000.xls");
        QByteArray octets(cas.grosFichierOctets, '\0');
        for (qsizetype i = 0; i < octets.size(); ++i)
            octets[i] = char(i * 7919 % 251);
        writeFile(QStringLiteral("SyncrhoServ/") + gros, octets);
        executer(QStringLiteral("INSERT INTO FichierTransfer (NomFichier) VALUES (?)"), {gros});
    }
    if (cas.serveurArrete) {
        demarrerServeur(FtpServer::Behaviour::Normal);
        m_ftp.stop();
    } else {
        demarrerServeur(cas.comportement, cas.silencieuxApres);
    }
    const qint64 premier = vendre(QStringLiteral("356938035643809"));

    // The screens' timers while the kiosk waits for the server.
    int battements = 0;
    QTimer battement;
    QObject::connect(&battement, &QTimer::timeout, [&] { ++battements; });
    battement.start(10);
    QElapsedTimer duree;
    duree.start();
    TransferFTP();
    const qint64 ecoule = duree.elapsed();
    battement.stop();
    if (cas.grosFichierOctets > 0) { // a stall outside libcurl's waits for a reply
        EXPECT_GT(battements, ecoule / 100) << battements << " in " << ecoule << " ms";
    }
    RecordProperty("elapsed_ms", int(ecoule));
    EXPECT_LT(ecoule, BorneMs) << cas.nom;

    const QStringList apresPanne = fichiers().keys();
    ASSERT_EQ(apresPanne.size(), gros.isEmpty() ? 1 : 2);
    for (const QString &nom : apresPanne)
        EXPECT_EQ(fichiers().value(nom), 0) << nom.toStdString();
    EXPECT_EQ(synchro(premier), QVariant(1)); // in a workbook written whole
    ASSERT_EQ(journalRows().size(), 1) << contextesJournal().join('\n').toStdString();
    EXPECT_EQ(journalRows().at(0).contexte, QStringLiteral("TransferFTP"));
    EXPECT_TRUE(journalRows().at(0).erreur.startsWith(QStringLiteral("N°: 35750 ")))
        << journalRows().at(0).erreur.toStdString();
    EXPECT_TRUE(m_boxes.shown().isEmpty());

    m_ftp.stop();
    demarrerServeur(FtpServer::Behaviour::Normal);
    m_uploads.setLimits({}); // the kiosk's own, for the large file
    const qint64 second = vendre(QStringLiteral("356938035643810"));
    TransferFTP();

    const QMap<QString, int> tous = fichiers();
    ASSERT_EQ(tous.size(), apresPanne.size() + 1);
    for (auto it = tous.begin(); it != tous.end(); ++it) {
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
        EXPECT_EQ(contenu(recu(it.key())), contenu(local(it.key()))) << it.key().toStdString();
    }
    EXPECT_EQ(synchro(second), QVariant(1));
    EXPECT_EQ(journalRows().size(), 1) << contextesJournal().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Serveurs, SynchrServPanneTest,
    ::testing::Values(
        ServeurDefaillant{"LoginRefused", FtpServer::Behaviour::RefuseLogin, 0, 0, false},
        ServeurDefaillant{"NothingListening", FtpServer::Behaviour::Normal, 0, 0, true},
        ServeurDefaillant{"SilentAfterPartOfTheWorkbook", FtpServer::Behaviour::SilentMidTransfer,
                          1024, 0, false},
        ServeurDefaillant{"SilentMidwayThroughALargeFile", FtpServer::Behaviour::SilentMidTransfer,
                          1 << 20, 24 << 20, false},
        ServeurDefaillant{"FourBytesASecond", FtpServer::Behaviour::Trickle, 0, 0, false},
        ServeurDefaillant{"ClosingMidGreeting", FtpServer::Behaviour::CloseMidReply, 0, 0, false}),
    [](const ::testing::TestParamInfo<ServeurDefaillant> &cas) {
        return std::string(cas.param.nom);
    });

TEST_F(SynchrServTest, WorkbookNotWritten_RowsStayUnsentAndGoWithTheNextRun)
{
    demarrerServeur(FtpServer::Behaviour::Normal);
    // A file where the folder should be: no workbook can be written there.
    writeFile(QStringLiteral("SyncrhoServ"), "pas un dossier");
    const qint64 detail = vendre(QStringLiteral("356938035643809"));

    TransferFTP();

    EXPECT_TRUE(fichiers().isEmpty());
    EXPECT_TRUE(synchro(detail).isNull());
    ASSERT_EQ(m_boxes.shown().size(), 1);
    const QString texte = m_boxes.shown().at(0).text;
    EXPECT_TRUE(texte.startsWith(
        QStringLiteral("Copy Data from Detail to Detail Étape failed\r\nClasseurExcel\r\n")))
        << texte.toStdString();
    EXPECT_GT(texte.size(), 60) << "no description";
    ASSERT_EQ(journalRows().size(), 1);
    EXPECT_EQ(journalRows().at(0).contexte, QStringLiteral("TransferFTP"));
    EXPECT_FALSE(QFileInfo::exists(home() + QStringLiteral("/Telvio")));

    ASSERT_TRUE(QFile::remove(path(QStringLiteral("SyncrhoServ"))));
    TransferFTP();

    ASSERT_EQ(fichiers().size(), 1);
    const QString nom = fichiers().firstKey();
    EXPECT_EQ(fichiers().value(nom), 1);
    EXPECT_EQ(synchro(detail), QVariant(1));
    const QJsonArray lignes = lireAvecXlrd(recu(nom)).at(0)[QStringLiteral("rows")].toArray();
    ASSERT_EQ(lignes.size(), 2);
    EXPECT_EQ(lignes.at(1)
                  .toArray()
                  .at(colonnesDetail().indexOf(QStringLiteral("NoIMEI")))
                  .toArray()
                  .at(1)
                  .toString(),
              QStringLiteral("356938035643809"));
}

TEST_F(SynchrServTest, AFileTheServerRefusesEveryTime_SetAsideAfterThreeRunsTheQueueGoesOn)
{
    demarrerServeur(FtpServer::Behaviour::Normal);
    // The server cannot store this name (a folder stands there); the other file left the disk.
    const QString refuse = QStringLiteral("SyncKIOSQUE-T101122026080000.xls");
    const QString absent = QStringLiteral("SyncKIOSQUE-T101122026090000.xls");
    writeFile(QStringLiteral("SyncrhoServ/") + refuse, "classeur refusé");
    ASSERT_TRUE(QDir().mkpath(recu(refuse)));
    for (const QString &nom : {refuse, absent})
        executer(QStringLiteral("INSERT INTO FichierTransfer (NomFichier) VALUES (?)"), {nom});

    QStringList envoyes;
    for (int run = 1; run <= EchecsAvantMiseDeCote; ++run) {
        SCOPED_TRACE(run);
        vendre(QStringLiteral("35693803564380%1").arg(run));
        TransferFTP();
        QStringList recus = QDir(home() + QStringLiteral("/Telvio/Sync")).entryList(QDir::Files);
        // Held back by the refused file until it is set aside, then all go.
        EXPECT_EQ(recus.size(), run < EchecsAvantMiseDeCote ? 0 : EchecsAvantMiseDeCote)
            << recus.join(' ').toStdString();
        envoyes = recus;
    }
    const Store::ResultatRequete r = lire(QStringLiteral(
        "SELECT NomFichier, Transfert, Echecs, MisDeCote FROM FichierTransfer ORDER BY Id"));
    EXPECT_EQ(r.valeur(0, QStringLiteral("MisDeCote")).toInt(), 1);
    EXPECT_EQ(r.valeur(0, QStringLiteral("Echecs")).toInt(), EchecsAvantMiseDeCote);
    EXPECT_EQ(r.valeur(1, QStringLiteral("MisDeCote")).toInt(), 2);
    EXPECT_TRUE(QFileInfo::exists(local(refuse))) << "kept on disk";
    QStringList misDeCote;
    for (const JournalRow &row : journalRows()) {
        if (row.erreur.contains(QStringLiteral("mis de côté")))
            misDeCote << row.erreur;
    }
    ASSERT_EQ(misDeCote.size(), 2) << contextesJournal().join('\n').toStdString();
    // The refused file comes first in the queue: the missing one is reached once it is aside.
    EXPECT_TRUE(
        misDeCote.at(0).startsWith(refuse + QStringLiteral(" refusé par le serveur 3 fois")))
        << misDeCote.at(0).toStdString();
    EXPECT_TRUE(misDeCote.at(1).startsWith(absent));

    // Staff see both, and can put the refused one back once the server is put right.
    QString texte, erreurs;
    QTextStream out(&texte), err(&erreurs);
    EXPECT_EQ(Admin::executerCommande({QStringLiteral("synchro"), folder()}, out, err), 1);
    out.flush();
    EXPECT_TRUE(texte.contains(refuse + QStringLiteral("  MIS DE CÔTÉ après 3 refus")))
        << texte.toStdString();
    EXPECT_TRUE(texte.contains(absent + QStringLiteral("  ABSENT DU DISQUE")));
    ASSERT_TRUE(QDir(recu(refuse)).removeRecursively());
    EXPECT_EQ(Admin::executerCommande(
                  {QStringLiteral("synchro"), folder(), QStringLiteral("--relancer")}, out, err),
              1);
    vendre(QStringLiteral("356938035643899"));
    TransferFTP();
    EXPECT_EQ(contenu(recu(refuse)), QByteArray("classeur refusé"));
}

} // namespace
