// The delivery list is read by a program of its own: a reader that dies, hangs, floods or
// lies is stopped within its bounds and reported, and the kiosk goes on.
#include "kiosktest.h"

#include "journal/erreur.h"
#include "stock/lectureisolee.h"

#include <QFile>

#include <csignal>
#include <functional>

using namespace Movendi;

namespace {

struct Lecteur
{
    const char *nom;
    // The reader's shell script; PIDFILE is replaced by a file it writes its process id in.
    QByteArray script;
    const char *raison;
    // Of the installed clock; a pass of the wait costs 1 ms of it and 20 ms of real time.
    qint64 delaiMs = 5000;
};

class LectureIsoleeTest : public Test::KioskTest, public ::testing::WithParamInterface<Lecteur>
{
protected:
    QString programme(const QByteArray &script)
    {
        const QString chemin = path(QStringLiteral("lecteur.sh"));
        QFile f(chemin);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray corps = script;
        corps.replace("PIDFILE", QFile::encodeName(path(QStringLiteral("pid"))));
        f.write("#!/bin/sh\n" + corps);
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        return chemin;
    }
};

TEST_P(LectureIsoleeTest, StoppedWithinItsBoundsAndReported)
{
    const Lecteur &lecteur = GetParam();
    const QString xls = path(QStringLiteral("ListeIMEI.xls"));
    writeFile(QStringLiteral("ListeIMEI.xls"), "not read by these readers");
    const QString prog = QString::fromLatin1(lecteur.nom) == QLatin1String("absent")
                             ? path(QStringLiteral("absent"))
                             : programme(lecteur.script);
    try {
        Stock::lireListeIsolee(xls, prog,
                               {.delaiMs = lecteur.delaiMs, .sortieMaxOctets = 1024 * 1024});
        ADD_FAILURE() << "a list read from a failing reader";
    } catch (const Journal::ErreurExecution &erreur) {
        EXPECT_EQ(erreur.numero(), Stock::ListeIMEI::ErreurFormatExterne);
        EXPECT_TRUE(erreur.description().contains(QString::fromUtf8(lecteur.raison)))
            << erreur.description().toStdString();
        EXPECT_TRUE(erreur.description().startsWith(xls)) << erreur.description().toStdString();
    }
    // Nothing of the reader outlives the read.
    if (QFile pid(path(QStringLiteral("pid"))); pid.open(QIODevice::ReadOnly)) {
        const pid_t lu = pid_t(pid.readAll().trimmed().toInt());
        ASSERT_GT(lu, 0);
        EXPECT_NE(::kill(lu, 0), 0) << "reader " << lu << " still running";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lecteurs, LectureIsoleeTest,
    ::testing::Values(
        Lecteur{"absent", {}, "non démarré"},
        // As FreeXL's memory errors end it: a signal, the sanitizer's last words on stderr.
        Lecteur{"meurt",
                "echo $$ > PIDFILE\necho 'ERROR: stack-buffer-underflow' >&2\nkill -SEGV $$\n",
                "lecteur arrêté: ERROR: stack-buffer-underflow"},
        Lecteur{"muet", "echo $$ > PIDFILE\nexec sleep 600\n", "lecture arrêtée après 10 ms", 10},
        Lecteur{"bavard", "echo $$ > PIDFILE\nexec yes '[\"0123456789\"],'\n",
                "en dit plus de 1048576 octets"},
        Lecteur{"menteur", "echo '{\"colonnes\":[\"IMEI\"],\"lignes\":[[\"1\",\"2\"]]}'\n",
                "mal transmise"},
        Lecteur{"sortiecode", "echo 'rien de lisible'\nexit 3\n", "code 3"}),
    [](const ::testing::TestParamInfo<Lecteur> &p) { return std::string(p.param.nom); });

using LecteurInstalleTest = Test::KioskTest;

// The installed reader hands over the list, or FreeXL's own refusal with its number.
TEST_F(LecteurInstalleTest, InstalledReaderGivesTheRowsOrTheReadersOwnError)
{
    const Stock::ListeIMEI liste = Stock::lireListeIsolee(
        QStringLiteral(MOVENDI_SOURCE_DIR "/tests/stock/fixtures/ListeIMEI-libreoffice.xls"),
        Stock::programmeLecteurListe());
    EXPECT_GT(liste.nombreLignes(), 0);
    EXPECT_FALSE(liste.colonnes().isEmpty());
    const Stock::ListeIMEI retour = Stock::ListeIMEI::depuisJson(liste.versJson());
    EXPECT_EQ(retour.colonnes(), liste.colonnes());
    ASSERT_EQ(retour.nombreLignes(), liste.nombreLignes());
    for (const QString &c : liste.colonnes())
        EXPECT_EQ(retour.valeur(liste.nombreLignes() - 1, c),
                  liste.valeur(liste.nombreLignes() - 1, c));

    try {
        Stock::lireListeIsolee(path(QStringLiteral("absente.xls")), Stock::programmeLecteurListe());
        ADD_FAILURE() << "a missing list read";
    } catch (const Journal::ErreurExecution &erreur) {
        EXPECT_EQ(erreur.numero(), Journal::Erreurs::FichierIntrouvable);
        EXPECT_TRUE(erreur.description().endsWith(QLatin1String("absente.xls introuvable")))
            << erreur.description().toStdString();
    }
}

} // namespace
