// movendi-admin: the staff tool.
#include "diagnostictpe.h"
#include "dossierapplication.h"
#include "essaisperipheriques.h"
#include "exportrapports.h"
#include "verificationemail.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>

using namespace Movendi;

namespace {
// The simulated machine-control library: beside the tool in a build folder, in lib/movendi
// once installed.
QString bibliothequeSimulee()
{
    const QDir bin(QGuiApplication::applicationDirPath());
    const QString voisine = bin.filePath(QStringLiteral("libgrafcet.so"));
    const QString installee = bin.filePath(QStringLiteral("../lib/movendi/libgrafcet.so"));
    return QFileInfo::exists(voisine) || !QFileInfo::exists(installee)
               ? voisine
               : QFileInfo(installee).canonicalFilePath();
}

int usage(QTextStream &err)
{
    err << "usage:\n"
           "  movendi-admin init DIR [--automate LIB]   lay out an application folder\n"
           "  movendi-admin journal DIR                 print the error journal\n"
           "  movendi-admin tpe DIR statut              ask the payment terminal its status\n"
           "  movendi-admin tpe DIR telecollecte [--attente SECONDES]\n"
           "                                            have the terminal remit, print its "
           "report\n"
           "                                            (its turn awaited 900 s at most, or "
           "SECONDES)\n"
           "  movendi-admin export DIR --du JJ/MM/AAAA --au JJ/MM/AAAA [--envoyer]\n"
           "                                            write (and mail) the period's sales and\n"
           "                                            top-up CSV files and today's remittance\n"
           "                                            workbook\n"
           "  movendi-admin imprimante DIR [--port N]   print a test ticket\n"
           "  movendi-admin lcd DIR [LIGNE1 [LIGNE2]]   write two lines on the LCD\n"
           "  movendi-admin automate DIR [--emplacement N] [--fermer N]\n"
           "                                            load the mechanism's library, read the\n"
           "                                            door, present a location, close it\n";
    return 64;
}
} // namespace

int main(int argc, char *argv[])
{
    // Pictures are drawn with fonts, which need a GUI application; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = QGuiApplication::arguments().mid(1);
    if (args.size() < 2)
        return usage(err);
    const QString command = args.at(0);
    const QString dossier = QDir(args.at(1)).absolutePath();

    if (command == QLatin1String("init")) {
        QString library = bibliothequeSimulee();
        const qsizetype at = args.indexOf(QStringLiteral("--automate"));
        if (at >= 0 && at + 1 < args.size())
            library = args.at(at + 1);
        const Admin::InitReport report = Admin::initialiserDossier(dossier, library);
        for (const QString &line : report.lines)
            (line.startsWith(QLatin1String("erreur")) ? err : out) << line << '\n';
        out << "Dossier: " << dossier << '\n';
        return report.ok ? 0 : 1;
    }
    if (command == QLatin1String("journal")) {
        QString erreur;
        const QStringList rows = Admin::lireJournal(dossier, &erreur);
        if (!erreur.isEmpty()) {
            err << "erreur: " << erreur << '\n';
            return 1;
        }
        for (const QString &row : rows)
            out << row << '\n';
        if (rows.isEmpty())
            out << "(journal vide)\n";
        return 0;
    }
    if (command == QLatin1String("email")) {
        if (args.size() < 3 || args.at(2) != QLatin1String("test"))
            return usage(err);
        return Admin::verifierEmail(dossier, out, err);
    }
    if (command == QLatin1String("export")) {
        const int code = Admin::exporterRapports(dossier, args.mid(2), out, err);
        return code == 64 ? usage(err) : code;
    }
    if (command == QLatin1String("imprimante"))
        return Admin::essayerImprimante(dossier, args.mid(2), out, err);
    if (command == QLatin1String("lcd"))
        return Admin::essayerLcd(dossier, args.mid(2), out, err);
    if (command == QLatin1String("automate"))
        return Admin::essayerAutomate(dossier, args.mid(2), out, err);
    if (command == QLatin1String("tpe")) {
        if (args.size() < 3)
            return usage(err);
        int attente = Payment::AttenteTourTelecollecte;
        if (args.size() > 3) {
            bool ok = false;
            attente = args.size() == 5 && args.at(3) == QLatin1String("--attente")
                          ? args.at(4).toInt(&ok)
                          : 0;
            if (!ok || attente < 1) {
                err << "erreur: --attente attend un nombre de secondes positif\n";
                return usage(err);
            }
        }
        const int code = Admin::diagnostiquerTerminal(dossier, args.at(2), out, err, attente);
        return code == 64 ? usage(err) : code;
    }
    return usage(err);
}
