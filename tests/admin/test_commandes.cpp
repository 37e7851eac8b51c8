// The staff tool's commands as scripts run them: what they print and the status they end with.
#include "commandes.h"
#include "kiosktest.h"

#include "money/monnaie.h"
#include "platform/profilefile.h"
#include "store/storedatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTextStream>

#include <functional>
#include <pwd.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Movendi;
using Money::Monnaie;
using Store::StoreDatabase;

namespace {

struct Sortie
{
    int code = -1;
    QString texte; // standard output, then standard error
};

class CommandesTest : public Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        layOutApplicationFolder();
    }

    // The tool's dispatch in this process, so that the manual clock is "today".
    Sortie admin(const QStringList &arguments) const
    {
        QString out, err;
        QTextStream o(&out), e(&err);
        Sortie s;
        s.code = Admin::executerCommande(arguments, o, e);
        o.flush();
        e.flush();
        s.texte = out + err;
        return s;
    }
    // The real program, as a script next to a running kiosk starts it.
    Sortie programme(const QStringList &arguments) const
    {
        QProcess p;
        p.start(Movendi::Test::binaryPath("movendi-admin"), arguments);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
    }

    void journaliser(const char *date, const char *contexte, const char *erreur) const
    {
        sqlite3 *db = nullptr;
        sqlite3_stmt *insert = nullptr;
        ASSERT_EQ(
            sqlite3_open(QFile::encodeName(path(QStringLiteral("MAINTEN.db"))).constData(), &db),
            SQLITE_OK);
        ASSERT_EQ(sqlite3_prepare_v2(
                      db, "INSERT INTO Erreurs (DateErreur, Contexte, Erreur) VALUES (?, ?, ?)", -1,
                      &insert, nullptr),
                  SQLITE_OK);
        sqlite3_bind_text(insert, 1, date, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, contexte, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, erreur, -1, SQLITE_STATIC);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_finalize(insert);
        sqlite3_close(db);
    }

    void vendre(qint64 numero, const QString &moment, const QString &carte, int statut,
                const QList<std::pair<const char *, qint64>> &articles) const
    {
        StoreDatabase base(path(QStringLiteral("DBMovendi.db")));
        base.executer(QStringLiteral("INSERT INTO Ventes (NumVente, LaDate, NoCBClient, "
                                     "StatutDebit) VALUES (?, ?, ?, ?)"),
                      {numero, moment, carte, statut});
        for (const auto &[designation, centimes] : articles)
            base.executer(QStringLiteral("INSERT INTO DetailVente (NoVente, Montant, Designation, "
                                         "NoFamille, NoSerieRecharge) VALUES (?, ?, ?, 2, ?)"),
                          {numero, StoreDatabase::versBase(Monnaie::depuisCentimes(centimes)),
                           QString::fromUtf8(designation), QStringLiteral("7205583004922263")});
    }

    void remplirTambour(const QString &sql) const
    {
        StoreDatabase base(path(QStringLiteral("DBMovendi.db")));
        base.executer(sql);
    }

    qint64 nombreVentes(const QString &fichier) const
    {
        StoreDatabase base(fichier);
        return base.lire(QStringLiteral("SELECT COUNT(*) FROM Ventes"))
            .lignes.at(0)
            .at(0)
            .toLongLong();
    }
};

// Each piece in the output, in this order.
::testing::AssertionResult dansLOrdre(const QString &texte, const QStringList &morceaux)
{
    qsizetype depuis = 0;
    for (const QString &m : morceaux) {
        const qsizetype at = texte.indexOf(m, depuis);
        if (at < 0)
            return ::testing::AssertionFailure()
                   << "\"" << m.toStdString() << "\" missing (in order) from:\n"
                   << texte.toStdString();
        depuis = at + m.size();
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(CommandesTest, EachCommand_OnAFolderOfKnownContent_PrintsItAndEndsWithItsStatus)
{
    journaliser("2026-12-06 23:59:59", "Reprise vente", "vente 3 enregistrée");
    journaliser("2026-12-07 00:00:00", "EnvoyerEmail", "serveur muet");
    journaliser("2026-12-07 18:30:00", "Reprise vente", "débit envoyé\r\nsans réponse");
    journaliser("2026-12-08 02:31:00", "TransferFTP", "N°: 35750 connexion refusée");

    // Two lockers filled, the rest of the drum free.
    remplirTambour(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = NULL, IMEI = NULL, "
                                  "NoSIM = NULL, EAN13 = NULL, NoCommande = NULL"));
    remplirTambour(QStringLiteral(
        "UPDATE EmplacementsMachine1 SET Reference = (SELECT MIN(Reference) FROM ArticleEnStock "
        "WHERE Famille = 1), IMEI = '490154203237518', NoSIM = '8933150000000000017' "
        "WHERE Colonne = 2 AND Etage = 4"));
    remplirTambour(QStringLiteral(
        "UPDATE EmplacementsMachine1 SET Reference = (SELECT MIN(Reference) FROM ArticleEnStock "
        "WHERE Famille = 2), NoSIM = '7205583004922263' WHERE Colonne = 5 AND Etage = 1"));

    // A card number kept in clear by an older version, one kept masked as the kiosk keeps it.
    vendre(7, QStringLiteral("2026-12-01 10:15:00"), QStringLiteral("4970101234561234"), 0,
           {{"Galaxy A15", 19990}, {"Recharge 20 €", 2000}});
    vendre(8, QStringLiteral("2026-12-01 18:02:10"), QStringLiteral("497010******9876"), 1,
           {{"Recharge 5 €", 500}});
    vendre(9, QStringLiteral("2026-12-02 00:00:00"), QStringLiteral("497010******5555"), 0,
           {{"Recharge 10 €", 1000}});
    vendre(10, QStringLiteral("2026-12-08 09:00:00"), QString(), 0, {{"Recharge 10 €", 1000}});

    // Every serial device the demo points at present, so that only what a case breaks shows.
    QDir().mkpath(path(QStringLiteral("dev")));
    for (int port = 1; port <= 32; ++port)
        writeFile(QStringLiteral("dev/com%1").arg(port), QByteArray());
    const QString ini = path(QStringLiteral("RURUDIZ.ini"));

    struct Cas
    {
        QStringList arguments;
        std::function<void()> avant;
        int code;
        QStringList attendus; // in this order
        QStringList absents;
    };
    const QString dir = folder();
    const QList<Cas> cas = {
        {{QStringLiteral("journal"), dir},
         {},
         0,
         {QStringLiteral("2026-12-06 23:59:59 | Reprise vente | vente 3 enregistrée\n"),
          QStringLiteral("2026-12-07 00:00:00 | EnvoyerEmail | serveur muet\n"),
          QStringLiteral("2026-12-07 18:30:00 | Reprise vente | débit envoyé..sans réponse\n"),
          QStringLiteral("2026-12-08 02:31:00 | TransferFTP | N°: 35750 connexion refusée\n")},
         {QStringLiteral("dernières lignes")}},
        {{QStringLiteral("journal"), dir, QStringLiteral("--contexte"),
          QStringLiteral("REPRISE vente")},
         {},
         0,
         {QStringLiteral("vente 3 enregistrée"), QStringLiteral("débit envoyé")},
         {QStringLiteral("EnvoyerEmail"), QStringLiteral("TransferFTP")}},
        {{QStringLiteral("journal"), dir, QStringLiteral("--depuis"), QStringLiteral("07/12/2026"),
          QStringLiteral("--jusqu-au"), QStringLiteral("07/12/2026")},
         {},
         0,
         {QStringLiteral("serveur muet"), QStringLiteral("débit envoyé")},
         {QStringLiteral("vente 3"), QStringLiteral("TransferFTP")}},
        {{QStringLiteral("journal"), dir, QStringLiteral("--nombre"), QStringLiteral("2")},
         {},
         0,
         {QStringLiteral("(2 dernières lignes sur 4; --nombre N pour en voir plus)\n"),
          QStringLiteral("débit envoyé"), QStringLiteral("TransferFTP")},
         {QStringLiteral("serveur muet")}},
        {{QStringLiteral("journal"), dir, QStringLiteral("--nombre"), QStringLiteral("0")},
         {},
         64,
         {QStringLiteral("erreur: --nombre attend un nombre de lignes positif"),
          QStringLiteral("usage: movendi-admin journal DOSSIER")},
         {}},
        {{QStringLiteral("journal"), dir, QStringLiteral("--contexte"), QStringLiteral("Main")},
         {},
         0,
         {QStringLiteral("(aucune ligne ne correspond)")},
         {}},

        {{QStringLiteral("stock"), dir},
         {},
         0,
         {QStringLiteral("Contenu (2 emplacement(s) occupé(s))"),
          QStringLiteral("IMEI 490154203237518"), QStringLiteral("série 7205583004922263"),
          QStringLiteral("étage 1 (recharges): 35 libre(s) sur 36"),
          QStringLiteral("étage 4 (téléphones): 35 libre(s) sur 36"),
          QStringLiteral("Total: 214 emplacement(s) libre(s) sur 216")},
         {QStringLiteral("anomalie")}},
        {{QStringLiteral("stock"), dir},
         [this] {
             remplirTambour(QStringLiteral(
                 "UPDATE EmplacementsMachine1 SET Reference = (SELECT MIN(Reference) FROM "
                 "ArticleEnStock WHERE Famille = 1), IMEI = '352091014100377' "
                 "WHERE Colonne = 9 AND Etage = 2"));
         },
         1,
         {QStringLiteral("IMEI 352091014100377  <- anomalie: téléphone sur un étage de recharges"),
          QStringLiteral("1 anomalie(s)")},
         {}},

        {{QStringLiteral("ventes"), dir, QStringLiteral("--jour"), QStringLiteral("01/12/2026")},
         {},
         0,
         {QStringLiteral("Ventes du 01/12/2026:"),
          QStringLiteral("vente 7  10:15:00  carte ************1234  débitée"),
          QStringLiteral("199,90 €"), QStringLiteral("total de la vente: 219,90 €"),
          QStringLiteral("vente 8  18:02:10  carte ************9876  NON DÉBITÉE"),
          QStringLiteral("2 vente(s), montant total 224,90 €"),
          QStringLiteral("dont non débité: 5,00 €")},
         {QStringLiteral("4970101234561234"), QStringLiteral("497010"), QStringLiteral("vente 9")}},
        {{QStringLiteral("ventes"), dir},
         {},
         0,
         {QStringLiteral("Ventes du 08/12/2026:"), QStringLiteral("vente 10  09:00:00  carte -"),
          QStringLiteral("1 vente(s), montant total 10,00 €")},
         {}},
        {{QStringLiteral("ventes"), dir, QStringLiteral("--jour"), QStringLiteral("2026-12-01")},
         {},
         64,
         {QStringLiteral("erreur: --jour attend une date JJ/MM/AAAA")},
         {}},

        {{QStringLiteral("config"), dir},
         {},
         0,
         {QStringLiteral("Port1                    = ") + path(QStringLiteral("dev/com1")),
          QStringLiteral("Configuration complète et valide.")},
         {QStringLiteral("INVALIDE"), QStringLiteral("INCONNUE"), QStringLiteral("RENSEIGNER")}},
        {{QStringLiteral("config"), dir},
         [&] {
             Platform::writeProfileString(ini, QStringLiteral("Base de donnée"),
                                          QStringLiteral("Ticket"), QStringLiteral("oui"));
             Platform::writeProfileString(ini, QStringLiteral("Email"), QStringLiteral("Port"),
                                          QStringLiteral("vingt-cinq"));
             Platform::writeProfileString(ini, QStringLiteral("Télécollecte"),
                                          QStringLiteral("Debut"), QStringLiteral("25:99"));
             Platform::writeProfileString(ini, QStringLiteral("Machine"),
                                          QStringLiteral("Automate"), QStringLiteral("absente.so"));
             Platform::writeProfileString(ini, QStringLiteral("Machine"), QStringLiteral("LCD"),
                                          path(QStringLiteral("dev/lpt1")));
             Platform::writeProfileString(ini, QStringLiteral("Machine"),
                                          QStringLiteral("CouleurEcran"), QStringLiteral("bleu"));
             // Off this machine and without TLS: the FTP server in clear is flagged.
             Platform::writeProfileString(ini, QStringLiteral("FTP"), QStringLiteral("Serveur"),
                                          QStringLiteral("ftp.exploitant.fr"));
             // A second section of a name already used is never read.
             QFile f(ini);
             ASSERT_TRUE(f.open(QIODevice::Append));
             f.write("\n[Machine]\nReglerHorloge=OUI\n");
         },
         1,
         {QStringLiteral("Ticket                   = oui  (défaut: OUI)  INVALIDE: OUI ou NON "
                         "attendu"),
          QStringLiteral("Automate                 = absente.so  (défaut: libgrafcet.so)  "
                         "INVALIDE: bibliothèque absente"),
          QStringLiteral("LCD                      = ") + path(QStringLiteral("dev/lpt1")) +
              QStringLiteral("  (défaut: vide)  INVALIDE: périphérique absent"),
          QStringLiteral("CouleurEcran             = bleu  INCONNUE"),
          QStringLiteral("ReglerHorloge            = OUI  INCONNUE: ligne "),
          QStringLiteral("en double"),
          QStringLiteral("Debut                    = 25:99  (défaut: 02:30)  INVALIDE: heure H:mm "
                         "attendue"),
          QStringLiteral("Port                     = vingt-cinq  (défaut: 25)  INVALIDE: numéro de "
                         "port attendu"),
          QStringLiteral("Serveur                  = ftp.exploitant.fr  (défaut: vide)  EN CLAIR: "
                         "ftp.exploitant.fr sans FTPS=OUI"),
          QStringLiteral("0 périphérique(s) à renseigner, 5 valeur(s) invalide(s), 2 clé(s) "
                         "inconnue(s), 1 lien(s) en clair."),
          QStringLiteral("Configuration à corriger.")},
         {}},

        {{QStringLiteral("flotte"), dir},
         {},
         0,
         {QStringLiteral("Flotte: aucune (section Flotte sans Serveur)")},
         {}},
        {{QStringLiteral("flotte"), dir},
         [this, ini] {
             ASSERT_TRUE(Platform::writeProfileString(ini, QStringLiteral("Flotte"),
                                                      QStringLiteral("Serveur"),
                                                      QStringLiteral("127.0.0.1")));
             remplirTambour(QStringLiteral(
                 "INSERT INTO BoiteEnvoi (Seq, Horodatage, Type, Charge) VALUES (41, "
                 "'2026-12-07T09:00:00Z', 'vente', '{}'), (42, '2026-12-08T08:59:00Z', 'stock', "
                 "'{}')"));
         },
         1,
         {QStringLiteral("Flotte: courtier 127.0.0.1:1883 (sans TLS)"),
          QStringLiteral("Lien du kiosque: jamais démarré"),
          QStringLiteral("Boîte d'envoi: 2 événement(s) en attente"),
          QStringLiteral("le plus ancien: seq 41 (vente) du 2026-12-07T09:00:00Z"),
          QStringLiteral("plus d'une heure")},
         {}},
        {{QStringLiteral("flotte"), dir, QStringLiteral("vider")},
         {},
         64,
         {QStringLiteral("erreur: action inconnue: vider")},
         {}},
        // A remittance of one debit of 10,00 EUR: sale 10's, accepted; then one the terminal
        // counted that the store does not hold.
        {{QStringLiteral("rapprochement"), dir, QStringLiteral("--jours"), QStringLiteral("3")},
         [this] {
             remplirTambour(QStringLiteral(
                 "INSERT INTO JournalVente (Debut, Etape, RefArticle, MontantAutoriseCentimes, "
                 "DebitEnvoye, ResultatDebit, MontantDebitCentimes, NumVente) VALUES "
                 "('2026-12-08 08:59:00', 'fin', 1, 1000, 1, 255, 1000, 10)"));
             remplirTambour(QStringLiteral(
                 "INSERT INTO Telecollectes (LaDate, NbTransaction, Montant, NoRemise) VALUES "
                 "('2026-12-08 09:30:00', 1, 100000, 5)"));
         },
         0,
         {QStringLiteral("Remises des 3 dernier(s) jour(s): 1"),
          QStringLiteral("08/12/2026 09:30  remise 5: terminal 1 transaction(s) 10,00 EUR, "
                         "kiosque 1 débit(s) 10,00 EUR  ok")},
         {QStringLiteral("écart")}},
        {{QStringLiteral("rapprochement"), dir, QStringLiteral("--jours"), QStringLiteral("3")},
         [this] {
             remplirTambour(QStringLiteral("UPDATE Telecollectes SET NbTransaction = 2, Montant = "
                                           "150000 WHERE NoRemise = 5"));
         },
         1,
         {QStringLiteral("terminal 2 transaction(s) 15,00 EUR, kiosque 1 débit(s) 10,00 EUR  <- "
                         "écart"),
          QStringLiteral("1 remise(s) avec un écart inexpliqué")},
         {}},
        {{QStringLiteral("rapprochement"), dir, QStringLiteral("--jours"), QStringLiteral("0")},
         {},
         64,
         {QStringLiteral("erreur: --jours attend un nombre de jours")},
         {}},

        {{QStringLiteral("stock"), dir, QStringLiteral("--help")},
         {},
         0,
         {QStringLiteral("usage: movendi-admin stock DOSSIER"), QStringLiteral("Statut: 0")},
         {}},
        {{QStringLiteral("inventaire")},
         {},
         64,
         {QStringLiteral("erreur: commande inconnue: inventaire"),
          QStringLiteral("movendi-admin sauvegarde DOSSIER [--vers FICHIER]")},
         {}},
        {{QStringLiteral("journal"), dir},
         [this] { ASSERT_TRUE(QFile::remove(path(QStringLiteral("MAINTEN.db")))); },
         1,
         {QStringLiteral("erreur: pas de journal MAINTEN.db dans ") + folder()},
         {}},
    };
    for (const Cas &c : cas) {
        if (c.avant)
            c.avant();
        const Sortie s = admin(c.arguments);
        const std::string nom = c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(s.code, c.code) << nom << "\n" << s.texte.toStdString();
        EXPECT_TRUE(dansLOrdre(s.texte, c.attendus)) << nom;
        for (const QString &absent : c.absents)
            EXPECT_FALSE(s.texte.contains(absent)) << nom << ": " << absent.toStdString();
    }
}

// Staff back the store up while the kiosk sells, then put that backup back.
TEST_F(CommandesTest, BackupWhileTheKioskWrites_ThenRestore_BringsTheStoreBackAndKeepsTheOther)
{
    const QString magasin = path(QStringLiteral("DBMovendi.db"));
    QProcess kiosque;
    kiosque.start(Movendi::Test::binaryPath("storewriter"), {magasin});
    ASSERT_TRUE(kiosque.waitForStarted(5000));
    QList<qint64> ventes;
    QByteArray recu;
    const auto lire = [&](qsizetype jusqua) {
        QElapsedTimer t;
        t.start();
        while (ventes.size() < jusqua && t.elapsed() < 30000 && kiosque.waitForReadyRead(5000)) {
            recu += kiosque.readAllStandardOutput();
            while (recu.contains('\n')) {
                const qsizetype fin = recu.indexOf('\n');
                ventes.append(recu.left(fin).toLongLong());
                recu.remove(0, fin + 1);
            }
        }
    };
    lire(20);
    ASSERT_GE(ventes.size(), 20);
    const qint64 avantSauvegarde = ventes.constLast();

    const QString sauvegarde = path(QStringLiteral("copies/avant.db"));
    const Sortie ecrite =
        admin({QStringLiteral("sauvegarde"), folder(), QStringLiteral("--vers"), sauvegarde});
    ASSERT_EQ(ecrite.code, 0) << ecrite.texte.toStdString();
    EXPECT_EQ(ecrite.texte, QStringLiteral("écrit: ") + sauvegarde + QLatin1Char('\n'));
    qint64 dansLaSauvegarde = 0;
    {
        StoreDatabase copie(sauvegarde);
        EXPECT_EQ(
            copie.lire(QStringLiteral("PRAGMA integrity_check")).lignes.at(0).at(0).toString(),
            QStringLiteral("ok"));
        dansLaSauvegarde = copie.lire(QStringLiteral("SELECT MAX(NumVente) FROM Ventes"))
                               .lignes.at(0)
                               .at(0)
                               .toLongLong();
        // One commit's state: every sale with its detail, nothing half-written.
        EXPECT_TRUE(copie
                        .lire(QStringLiteral("SELECT NumVente FROM Ventes v WHERE NOT EXISTS "
                                             "(SELECT 1 FROM DetailVente d WHERE d.NoVente = "
                                             "v.NumVente)"))
                        .estVide());
    }
    EXPECT_GE(dansLaSauvegarde, avantSauvegarde);
    // The kiosk goes on selling, then dies (its last sales only in the store's WAL file).
    lire(ventes.size() + 20);
    ::kill(pid_t(kiosque.processId()), SIGKILL);
    kiosque.waitForFinished(5000);
    const qint64 derniere = ventes.constLast();
    ASSERT_GT(derniere, dansLaSauvegarde);
    const qint64 ventesAvantRestauration = nombreVentes(magasin);

    const Sortie restauree = admin({QStringLiteral("restaurer"), folder(), sauvegarde});
    ASSERT_EQ(restauree.code, 0) << restauree.texte.toStdString();
    EXPECT_TRUE(restauree.texte.contains(QStringLiteral("restaurée: ") + sauvegarde +
                                         QStringLiteral(" -> ") + magasin));
    {
        StoreDatabase base(magasin);
        EXPECT_EQ(base.lire(QStringLiteral("SELECT MAX(NumVente) FROM Ventes"))
                      .lignes.at(0)
                      .at(0)
                      .toLongLong(),
                  dansLaSauvegarde);
        EXPECT_TRUE(base.lire(QStringLiteral("SELECT 1 FROM Ventes WHERE NumVente = ?"), {derniere})
                        .estVide());
    }
    // The store it replaced is aside, whole with its WAL file: the last sale is there.
    const QStringList decotes = QDir(folder()).entryList(
        {QStringLiteral("DBMovendi.avant-restauration-20261208-100000.db")}, QDir::Files);
    ASSERT_EQ(decotes.size(), 1) << restauree.texte.toStdString();
    EXPECT_TRUE(restauree.texte.contains(QStringLiteral("mise de côté: ") + path(decotes.at(0))));
    EXPECT_EQ(nombreVentes(path(decotes.at(0))), ventesAvantRestauration);
    {
        StoreDatabase decote(path(decotes.at(0)));
        EXPECT_FALSE(
            decote.lire(QStringLiteral("SELECT 1 FROM Ventes WHERE NumVente = ?"), {derniere})
                .estVide());
    }

    // A file that is not a store of the kiosk is refused, the store left as it is.
    writeFile(QStringLiteral("copies/journal.db"), readFile(QStringLiteral("MAINTEN.db")));
    const Sortie refusee =
        admin({QStringLiteral("restaurer"), folder(), path(QStringLiteral("copies/journal.db"))});
    EXPECT_EQ(refusee.code, 1);
    EXPECT_TRUE(refusee.texte.contains(QStringLiteral("n'est pas une base saine du kiosque: tables "
                                                      "absentes: InfoSociete")))
        << refusee.texte.toStdString();
    EXPECT_EQ(QDir(folder()).entryList({QStringLiteral("DBMovendi*")}, QDir::Files).size(), 2);
}

// The kiosk holds movendi.lck while it runs; its store must not be swapped under it.
TEST_F(CommandesTest, Restore_WhileTheKioskHoldsItsLock_IsRefusedThenDoneOnceItStops)
{
    const Sortie ecrite = admin({QStringLiteral("sauvegarde"), folder()});
    ASSERT_EQ(ecrite.code, 0) << ecrite.texte.toStdString();
    const QString sauvegarde = path(QStringLiteral("sauvegardes/DBMovendi-20261208-100000.db"));
    ASSERT_EQ(ecrite.texte, QStringLiteral("écrit: ") + sauvegarde + QLatin1Char('\n'));
    vendre(50, QStringLiteral("2026-12-08 10:05:00"), QString(), 0, {{"Recharge 10 €", 1000}});

    auto verrou = std::make_unique<QLockFile>(path(QStringLiteral("movendi.lck")));
    verrou->setStaleLockTime(0);
    ASSERT_TRUE(verrou->tryLock(0));
    const Sortie refusee = programme({QStringLiteral("restaurer"), folder(), sauvegarde});
    EXPECT_EQ(refusee.code, 1);
    EXPECT_TRUE(refusee.texte.contains(
        QStringLiteral("erreur: le kiosque tourne sur ce dossier (verrou movendi.lck tenu par le "
                       "processus %1")
            .arg(QCoreApplication::applicationPid())))
        << refusee.texte.toStdString();
    EXPECT_EQ(QDir(folder()).entryList({QStringLiteral("DBMovendi*")}, QDir::Files),
              QStringList{QStringLiteral("DBMovendi.db")});
    {
        StoreDatabase base(path(QStringLiteral("DBMovendi.db")));
        EXPECT_FALSE(
            base.lire(QStringLiteral("SELECT 1 FROM Ventes WHERE NumVente = 50")).estVide());
    }

    verrou.reset();
    const Sortie faite = programme({QStringLiteral("restaurer"), folder(), sauvegarde});
    EXPECT_EQ(faite.code, 0) << faite.texte.toStdString();
    StoreDatabase base(path(QStringLiteral("DBMovendi.db")));
    EXPECT_TRUE(base.lire(QStringLiteral("SELECT 1 FROM Ventes WHERE NumVente = 50")).estVide());
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("movendi.lck"))));
}

TEST_F(CommandesTest, Restore_KeepsTheStoresOwnerAndRefusesABackupTakenDuringASale)
{
    const QString magasin = path(QStringLiteral("DBMovendi.db"));
    const auto sql = [&magasin](const QString &requete) {
        StoreDatabase base(magasin);
        base.executer(requete);
    };
    const QString sansVente = path(QStringLiteral("copies/sans-vente.db"));
    const QString avecVente = path(QStringLiteral("copies/avec-vente.db"));
    ASSERT_EQ(
        admin({QStringLiteral("sauvegarde"), folder(), QStringLiteral("--vers"), sansVente}).code,
        0);
    // A backup taken while a sale was in flight; the kiosk settled that sale since.
    sql(QStringLiteral("INSERT INTO JournalVente (Debut, Etape, RefArticle, "
                       "MontantAutoriseCentimes) VALUES ('2026-12-08 09:00:00', 'debit envoye', "
                       "101, 19990)"));
    ASSERT_EQ(
        admin({QStringLiteral("sauvegarde"), folder(), QStringLiteral("--vers"), avecVente}).code,
        0);
    sql(QStringLiteral("UPDATE JournalVente SET Cloturee = 1"));
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(QFile::encodeName(magasin).constData(), 4242, 4343), 0);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(magasin).constData(), 0600), 0);

    const Sortie refusee = admin({QStringLiteral("restaurer"), folder(), avecVente});
    EXPECT_EQ(refusee.code, 1);
    EXPECT_TRUE(refusee.texte.contains(QStringLiteral("contient une vente en cours (journal 1, "
                                                      "étape \"debit envoye\")")))
        << refusee.texte.toStdString();
    EXPECT_EQ(QDir(folder()).entryList({QStringLiteral("DBMovendi*")}, QDir::Files),
              QStringList{QStringLiteral("DBMovendi.db")});

    const Sortie reglee =
        admin({QStringLiteral("restaurer"), folder(), avecVente, QStringLiteral("--regler-vente")});
    ASSERT_EQ(reglee.code, 0) << reglee.texte.toStdString();
    {
        StoreDatabase base(magasin);
        EXPECT_FALSE(
            base.lire(QStringLiteral("SELECT 1 FROM JournalVente WHERE Cloturee = 0")).estVide());
    }
    struct stat info
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(magasin).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode_t(0600));
    if (!root)
        return;
    EXPECT_EQ(info.st_uid, uid_t(4242));
    EXPECT_EQ(info.st_gid, gid_t(4343));

    // Nothing in place to take the owner from: root must say whose it is.
    for (const QString &f : QDir(folder()).entryList({QStringLiteral("DBMovendi*")}, QDir::Files))
        QFile::remove(path(f));
    const Sortie sansProprietaire = admin({QStringLiteral("restaurer"), folder(), sansVente});
    EXPECT_EQ(sansProprietaire.code, 1);
    EXPECT_TRUE(sansProprietaire.texte.contains(QStringLiteral("--proprietaire")));
    EXPECT_FALSE(QFileInfo::exists(magasin));
    const Sortie nommee = admin({QStringLiteral("restaurer"), folder(), sansVente,
                                 QStringLiteral("--proprietaire"), QStringLiteral("nobody")});
    ASSERT_EQ(nommee.code, 0) << nommee.texte.toStdString();
    ASSERT_EQ(::stat(QFile::encodeName(magasin).constData(), &info), 0);
    EXPECT_EQ(info.st_uid, ::getpwnam("nobody")->pw_uid);
}

// What changes the store or drives a device never runs beside the kiosk.
TEST_F(CommandesTest, CommandsThatWriteOrDriveADevice_RefusedWhileTheKioskHoldsItsLock)
{
    auto verrou = std::make_unique<QLockFile>(path(QStringLiteral("movendi.lck")));
    verrou->setStaleLockTime(0);
    ASSERT_TRUE(verrou->tryLock(0));
    const QList<QStringList> commandes{
        {QStringLiteral("automate"), folder()},
        {QStringLiteral("imprimante"), folder()},
        {QStringLiteral("lcd"), folder()},
        {QStringLiteral("tpe"), folder(), QStringLiteral("statut")},
        {QStringLiteral("export"), folder(), QStringLiteral("--du"), QStringLiteral("01/12/2026"),
         QStringLiteral("--au"), QStringLiteral("08/12/2026")},
        {QStringLiteral("init"), folder()},
        {QStringLiteral("restaurer"), folder(), path(QStringLiteral("DBMovendi.db"))},
    };
    for (const QStringList &c : commandes) {
        SCOPED_TRACE(c.join(QLatin1Char(' ')).toStdString());
        const Sortie s = programme(c);
        EXPECT_EQ(s.code, 1);
        EXPECT_TRUE(s.texte.contains(QStringLiteral("erreur: le kiosque tourne sur ce dossier")))
            << s.texte.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("RapportVentes"))));
    // Reading goes on beside it.
    EXPECT_EQ(programme({QStringLiteral("stock"), folder()}).code, 0);
}
