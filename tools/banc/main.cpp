// movendi-banc: single steps of the kiosk driven on their own for scripts/bench, on a folder
// laid out by movendi-admin init. Prints "key<TAB>value" lines.
//
//   movendi-banc enregistrement DOSSIER N
//       N sales of a phone with a top-up through every store write of a sale (its journal from
//       the authorisation to the closing, the recording between), the outbox fed as on a kiosk
//       of a fleet; the recording step (record and close) timed: median and 99th percentile.
//   movendi-banc classeur DOSSIER
//       the synchronisation workbook of the details not yet sent, as after a sale (upload
//       included when the folder names an FTP server).
//   movendi-banc ftp FICHIER HOTE PORT UTILISATEUR MOT_DE_PASSE
//       the file to /Telvio/Sync with the kiosk's FTP client.
#include "i18n/constmessage.h"
#include "payment/etatpaiement.h"
#include "platform/applicationfolder.h"
#include "platform/ftpupload.h"
#include "reporting/synchrserv.h"
#include "sale/enregistrement.h"
#include "sale/etatvente.h"
#include "sale/journalvente.h"
#include "state/etatdemarrage.h"
#include "store/boiteenvoi.h"
#include "store/storedatabase.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Movendi;

namespace {

bool pointer(const QString &dossier)
{
    State::EtatDemarrage &e = State::etat();
    e.dossierApplication = dossier;
    e.CheminIni = QDir(dossier).filePath(QStringLiteral("RURUDIZ.ini"));
    e.NomBase = QStringLiteral("DBMovendi");
    e.IdentiteMachine = QStringLiteral("KIOSQUE-DEMO-01");
    e.TauxTVA = 0.2;
    e.TicketActif = true;
    return QFileInfo::exists(e.CheminIni);
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5));
    return v.at(i);
}

int enregistrement(int n)
{
    Store::StoreDatabase base;
    const Store::ResultatRequete empl =
        base.lire(QStringLiteral("SELECT NoEmpl, Reference FROM EmplacementsMachine1 WHERE "
                                 "Reference IS NOT NULL ORDER BY NoEmpl LIMIT 2"));
    if (empl.lignes.size() < 2) {
        std::fprintf(stderr, "banc: le tambour du dossier est vide\n");
        return 1;
    }
    const Store::BoiteEnvoiActivee boite;
    Sale::Panier panier;
    panier.ReferenceChoisie = empl.valeur(0, QStringLiteral("Reference")).toInt();
    panier.ReferenceArticle = panier.ReferenceChoisie;
    panier.DesignationArticle = QStringLiteral("Samsung Galaxy A15 128 Go");
    panier.PrixArticle = Money::Monnaie::depuisCentimes(19990);
    panier.MontantAPayer = Money::Monnaie::depuisCentimes(20990);
    panier.LigneRecharge = {true, empl.valeur(1, QStringLiteral("Reference")).toInt(), 1000};
    panier.InfoSociete = {QStringLiteral("Movendi Distribution"),
                          QStringLiteral("14 rue"),
                          QStringLiteral("Lyon"),
                          QStringLiteral("69002"),
                          QStringLiteral("04 78 42 17 60"),
                          QString()};
    Payment::EtatPaiement paiement;
    paiement.PaymentAmountCents = 20990;
    paiement.CardNumber = QStringLiteral("497010******1234");
    paiement.RemittanceNumber = 42;
    paiement.MerchantTicketText = QStringLiteral("TICKET COMMERCANT\r\nMONTANT 209,90 EUR");
    paiement.CustomerTicketText = QStringLiteral("TICKET CLIENT\r\nMONTANT 209,90 EUR");

    std::vector<double> ms;
    ms.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        Sale::JournalVente journal;
        if (!journal.ouvrir(base, panier, 20990, QStringLiteral("FR")))
            return 1;
        Sale::EtatVente vente = Sale::EtatVente::depuisPanier(panier);
        vente.ArticleServi = {QStringLiteral("356938035643809"),
                              QStringLiteral("8933150319000012345"), QStringLiteral("CMD-0042"),
                              QString()};
        vente.RechargeServie = {QString(), QStringLiteral("RC10-000777"),
                                QStringLiteral("CMD-0043"), QStringLiteral("3760123002010")};
        for (int k = 1; k <= 2; ++k) {
            const int noEmpl = empl.valeur(k - 1, QStringLiteral("NoEmpl")).toInt();
            journal.commencerArticle(k);
            if (!journal.porteVaSOuvrir(base, noEmpl) ||
                !journal.article(base, k, true, noEmpl,
                                 k == 1 ? vente.ArticleServi : vente.RechargeServie))
                return 1;
        }
        if (!journal.debitVaPartir(base, 20990) || !journal.debitRepondu(base, 0, paiement))
            return 1;
        vente.ResultatDebit = 0;
        QElapsedTimer t;
        t.start();
        Sale::enregistrerVente(base, journal, vente, paiement,
                               Sale::statutDebitVente(vente, paiement), false);
        if (!journal.cloturer(base, QStringLiteral("ticket imprime")))
            return 1;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("enregistrement.median\t%.2f\nenregistrement.p99\t%.2f\n", percentile(ms, 0.5),
                percentile(ms, 0.99));
    return 0;
}

int ftp(const QStringList &a)
{
    Platform::FtpServer serveur;
    serveur.host = a.at(1);
    serveur.port = a.at(2).toInt();
    serveur.user = a.at(3);
    serveur.password = a.at(4);
    Platform::CurlFtpUploads envois;
    QElapsedTimer t;
    t.start();
    std::unique_ptr<Platform::FtpSession> session =
        envois.open(serveur, QLatin1String(Reporting::DossierDistant));
    QString erreur;
    if (!session->upload(a.at(0), QFileInfo(a.at(0)).fileName(), {}, &erreur)) {
        std::fprintf(stderr, "banc: %s\n", qPrintable(erreur));
        return 1;
    }
    std::printf("ftp.temps\t%.3f\n", double(t.nsecsElapsed()) / 1e9);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList a = QCoreApplication::arguments().mid(1);
    try {
        if (a.size() == 3 && a.at(0) == QLatin1String("enregistrement") && pointer(a.at(1))) {
            I18n::ChargerMessages(QStringLiteral("FR"));
            return enregistrement(qMax(1, a.at(2).toInt()));
        }
        if (a.size() == 2 && a.at(0) == QLatin1String("classeur") && pointer(a.at(1))) {
            Reporting::TransferFTP();
            return 0;
        }
        if (a.size() == 6 && a.at(0) == QLatin1String("ftp"))
            return ftp(a.mid(1));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "banc: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: movendi-banc enregistrement DOSSIER N | classeur DOSSIER | ftp "
                         "FICHIER HOTE PORT UTILISATEUR MOT_DE_PASSE\n");
    return 64;
}
