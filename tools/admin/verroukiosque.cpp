#include "verroukiosque.h"

#include <QDir>
#include <QTextStream>

namespace Movendi::Admin {

VerrouKiosque::VerrouKiosque(const QString &dossier)
    : m_verrou(QDir(dossier).filePath(QLatin1String(FichierVerrouKiosque)))
{
    m_verrou.setStaleLockTime(0);
}

bool VerrouKiosque::prendre(QTextStream &err, const QString &action)
{
    if (m_verrou.tryLock(0))
        return true;
    qint64 pid = 0;
    QString hote, programme;
    if (m_verrou.error() == QLockFile::LockFailedError &&
        m_verrou.getLockInfo(&pid, &hote, &programme))
        err << "erreur: le kiosque tourne sur ce dossier (verrou " << FichierVerrouKiosque
            << " tenu par le processus " << pid << " sur " << hote << "): arrêtez-le avant de "
            << action << '\n';
    else
        err << "erreur: verrou " << FichierVerrouKiosque << " impossible à prendre: arrêtez le "
            << "kiosque avant de " << action << '\n';
    return false;
}

} // namespace Movendi::Admin
