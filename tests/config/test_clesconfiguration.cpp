// The table of configuration keys against the operator's documentation: every key the kiosk
// reads is documented under its section with its default, and nothing else is.
#include "config/clesconfiguration.h"
#include "config/reglagesflotte.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace Movendi;

namespace {

// "## Section" then rows "| `Key` ... | default | meaning |": the first cell and the second of
// each row, by section.
std::map<QString, QList<QStringList>> lignesDocumentees()
{
    QFile fichier(QStringLiteral(MOVENDI_SOURCE_DIR "/docs/configuration.md"));
    EXPECT_TRUE(fichier.open(QIODevice::ReadOnly));
    std::map<QString, QList<QStringList>> lignes;
    QString section;
    for (const QString &ligne : QString::fromUtf8(fichier.readAll()).split(QLatin1Char('\n'))) {
        if (ligne.startsWith(QLatin1String("## "))) {
            section = ligne.mid(3).trimmed();
            continue;
        }
        if (!ligne.startsWith(QLatin1String("| `")) || section.isEmpty())
            continue;
        const QStringList cellules = ligne.split(QLatin1Char('|'));
        if (cellules.size() >= 4)
            lignes[section].append({cellules.at(1).trimmed(), cellules.at(2).trimmed()});
    }
    return lignes;
}

// The key a documented row starts with ("`Mailto2` … `Mailto20`" gives Mailto2).
QString cleDocumentee(const QString &cellule)
{
    static const QRegularExpression premiere(QStringLiteral("^`([^`]+)`"));
    return premiere.match(cellule).captured(1);
}

} // namespace

TEST(ClesConfiguration, EveryKeyDocumentedUnderItsSectionWithItsDefault)
{
    const std::map<QString, QList<QStringList>> documentees = lignesDocumentees();
    ASSERT_FALSE(documentees.empty());
    for (const Config::CleConfiguration &c : Config::clesConfiguration()) {
        SCOPED_TRACE((c.section + QLatin1Char('/') + c.cle).toStdString());
        const auto section = documentees.find(c.section);
        ASSERT_NE(section, documentees.end()) << "section not documented";
        const QString premiere = c.premier == 0 ? c.cle : c.cle + QString::number(c.premier);
        const QStringList *ligne = nullptr;
        for (const QStringList &l : section->second) {
            if (cleDocumentee(l.at(0)) == premiere)
                ligne = &l;
        }
        ASSERT_NE(ligne, nullptr) << "key not documented";
        // A family shows its rule ("/dev/ttyS(N-1)") or its first member's default.
        const QString defaut =
            c.defaut.isEmpty() ? Config::defautCle(c.section, premiere) : c.defaut;
        if (!defaut.isEmpty() && c.genre != Config::GenreCle::MotDePasse) {
            EXPECT_TRUE(ligne->at(1).contains(QLatin1Char('`') + defaut))
                << ligne->at(1).toStdString() << " does not show " << defaut.toStdString();
        }
    }
    // Nothing documented that the kiosk does not read.
    for (const auto &[section, lignes] : documentees) {
        if (section.startsWith(QLatin1String("Other")))
            continue;
        for (const QStringList &l : lignes)
            EXPECT_NE(Config::trouverCle(section, cleDocumentee(l.at(0))), nullptr)
                << section.toStdString() << '/' << l.at(0).toStdString();
    }
}

TEST(ClesConfiguration, FamiliesNumberedAsTheKioskAsksAndDefaultedPerMember)
{
    struct Cas
    {
        const char *section;
        const char *cle;
        bool lue;
        const char *defaut;
    };
    for (const Cas &c :
         {Cas{"PortCom", "Port3", true, "/dev/ttyS2"}, Cas{"PortCom", "Port03", false, ""},
          Cas{"Email", "Mailto1", true, "supervision@movendi-exploitation.fr"},
          Cas{"Email", "mailto20", true, ""}, Cas{"Email", "Mailto21", false, ""},
          Cas{"Email", "Mailto Rapport Telvio2", true, "comptabilite@movendi-exploitation.fr"},
          Cas{"Recharges", "Reference Prix 5", true, "0"}, Cas{"Machine", "CheminEpi", true, "epi"},
          Cas{"Machine", "Indentite Machine", false, ""}}) {
        SCOPED_TRACE(c.cle);
        const QString section = QString::fromUtf8(c.section), cle = QString::fromUtf8(c.cle);
        EXPECT_EQ(Config::trouverCle(section, cle) != nullptr, c.lue);
        if (c.lue) {
            EXPECT_EQ(Config::defautCle(section, cle), QString::fromUtf8(c.defaut));
        }
    }
}

// The fleet's section: absent or without a server, no fleet; otherwise the link, its session
// and will, and the topics as the contract names them.
TEST(ReglagesFlotte, WhatTheSectionGives)
{
    struct Cas
    {
        const char *nom;
        const char *section; // the lines of [Flotte]
        bool flotte;
        int port;
        const char *prefixe;
        int battement;
    };
    const Cas cas[] = {
        {"absent", "", false, 0, "", 0},
        {"no server", "Port=1884\n", false, 0, "", 0},
        {"server only", "Serveur=broker.local\n", true, 1883, "movendi/v1/K_12_Gare_de_Lyon", 60},
        {"TLS port", "Serveur=b\nCA=/etc/ca.pem\n", true, 8883, "movendi/v1/K_12_Gare_de_Lyon", 60},
        {"port given with TLS", "Serveur=b\nCA=/etc/ca.pem\nPort=9000\n", true, 9000,
         "movendi/v1/K_12_Gare_de_Lyon", 60},
        {"bad values", "Serveur=b\nPort=99999\nBattement=2\nPrefixe=\n", true, 1883,
         "movendi/v1/K_12_Gare_de_Lyon", 60},
        {"own prefix and beat", "Serveur=b\nPrefixe=op/x/\nBattement=30\n", true, 1883,
         "op/x/K_12_Gare_de_Lyon", 30},
    };
    QTemporaryDir dossier;
    const QString ini = dossier.filePath(QStringLiteral("RURUDIZ.ini"));
    for (const Cas &c : cas) {
        SCOPED_TRACE(c.nom);
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("[Machine]\nLocation=x\n") +
                (*c.section ? QByteArray("[Flotte]\n") + c.section : QByteArray()));
        f.close();
        const std::optional<Config::ReglagesFlotte> r =
            Config::lireReglagesFlotte(ini, QStringLiteral("K/12 Gare de Lyon"));
        ASSERT_EQ(r.has_value(), c.flotte);
        if (!r)
            continue;
        EXPECT_EQ(r->lien.port, c.port);
        EXPECT_EQ(r->sujet(QStringLiteral("presence")),
                  QString::fromUtf8(c.prefixe) + QStringLiteral("/presence"));
        EXPECT_EQ(r->battementS, c.battement);
        EXPECT_EQ(r->lien.keepAliveS, c.battement);
        EXPECT_EQ(r->lien.identifiant, QStringLiteral("K_12_Gare_de_Lyon"));
        EXPECT_EQ(r->lien.sujetTestament, r->sujet(QStringLiteral("presence")));
        EXPECT_EQ(r->lien.testament, QByteArray("hors-ligne"));
    }
    EXPECT_EQ(Config::nomKiosque(QStringLiteral("Kiosque Été-3.b_x/#+")),
              QStringLiteral("Kiosque__t_-3.b_x___"));
}
