#include "stock/lectureisolee.h"

#include "journal/erreur.h"
#include "platform/clock.h"
#include "platform/seams.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace Movendi::Stock {

namespace {

const QString NomLecteur = QStringLiteral("movendi-lirexls");
// Real time the wait blocks for between two passes of events.
constexpr int TrancheMs = 20;

Journal::ErreurExecution echec(const QString &chemin, const QString &raison)
{
    return Journal::ErreurExecution(ListeIMEI::ErreurFormatExterne,
                                    QStringLiteral("%1 illisible (%2)").arg(chemin, raison));
}

// The reader's error output, of which only the end is kept: its last line goes to the journal.
class FinErreurs
{
public:
    void lire(QProcess &p) { m_fin = (m_fin + p.readAllStandardError()).right(4096); }
    QString derniereLigne(QProcess &p)
    {
        lire(p);
        return QString::fromUtf8(m_fin.trimmed().split('\n').constLast().left(200)).trimmed();
    }

private:
    QByteArray m_fin;
};

void arreter(QProcess &p)
{
    p.kill();
    p.waitForFinished(1000);
}

} // namespace

QString programmeLecteurListe()
{
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString voisin = bin.filePath(NomLecteur);
    if (QFileInfo::exists(voisin))
        return voisin;
    return QDir::cleanPath(bin.filePath(QStringLiteral("../lib/movendi/") + NomLecteur));
}

ListeIMEI ListeIMEI::lire(const QString &chemin)
{
    return lireListeIsolee(chemin, programmeLecteurListe());
}

ListeIMEI lireListeIsolee(const QString &chemin, const QString &programme,
                          const BornesLecture &bornes)
{
    QProcess p;
    p.setProgram(programme);
    p.setArguments({chemin});
    p.setStandardInputFile(QProcess::nullDevice());
    p.start();
    if (!p.waitForStarted(int(qMin<qint64>(bornes.delaiMs, 5000))))
        throw echec(chemin,
                    QStringLiteral("lecteur %1 non démarré: %2").arg(programme, p.errorString()));

    const QString tropLong =
        QStringLiteral("le lecteur en dit plus de %1 octets").arg(bornes.sortieMaxOctets);
    Platform::Clock &horloge = Platform::clock();
    const qint64 debut = horloge.monotonicMs();
    FinErreurs erreurs;
    while (p.state() != QProcess::NotRunning && !p.waitForFinished(TrancheMs)) {
        horloge.processEventsFor(0);
        erreurs.lire(p);
        if (p.bytesAvailable() > bornes.sortieMaxOctets) {
            arreter(p);
            throw echec(chemin, tropLong);
        }
        if (horloge.monotonicMs() - debut >= bornes.delaiMs) {
            arreter(p);
            throw echec(chemin, QStringLiteral("lecture arrêtée après %1 ms").arg(bornes.delaiMs));
        }
    }
    if (p.exitStatus() != QProcess::NormalExit)
        throw echec(chemin, QStringLiteral("lecteur arrêté: %1").arg(erreurs.derniereLigne(p)));
    const QByteArray sortie = p.readAllStandardOutput();
    if (sortie.size() > bornes.sortieMaxOctets)
        throw echec(chemin, tropLong);
    if (p.exitCode() != 0) {
        // The reader's own refusal: its error number and text, as an in-process read gives.
        const QJsonObject erreur = QJsonDocument::fromJson(sortie).object();
        const QString description = erreur.value(QStringLiteral("description")).toString();
        if (erreur.value(QStringLiteral("erreur")).isDouble() && !description.isEmpty())
            throw Journal::ErreurExecution(erreur.value(QStringLiteral("erreur")).toInt(),
                                           description);
        throw echec(chemin, QStringLiteral("lecteur sorti avec le code %1: %2")
                                .arg(p.exitCode())
                                .arg(erreurs.derniereLigne(p)));
    }
    try {
        return ListeIMEI::depuisJson(sortie);
    } catch (const Journal::ErreurExecution &erreur) {
        throw echec(chemin, erreur.description());
    }
}

} // namespace Movendi::Stock
