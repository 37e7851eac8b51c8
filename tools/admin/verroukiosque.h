#pragma once

#include <QLockFile>
#include <QString>

class QTextStream;

namespace Movendi::Admin {

// The kiosk's single-copy lock file in the application folder (see start-up).
inline constexpr const char *FichierVerrouKiosque = "movendi.lck";

// Held by a staff command that changes the store or drives a device, as the kiosk holds it:
// the command refuses while the kiosk runs on the folder, and the kiosk cannot start while
// the command runs.
class VerrouKiosque
{
public:
    explicit VerrouKiosque(const QString &dossier);
    // False, after "erreur: ..." on err naming what staff must do, when the kiosk holds it.
    bool prendre(QTextStream &err, const QString &action);

private:
    QLockFile m_verrou;
};

} // namespace Movendi::Admin
