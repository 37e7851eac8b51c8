#pragma once

#include <QString>

namespace Movendi::Test {

// A real SQLite file made to refuse writes as a full disk or a file left read-only does: a VFS,
// installed as the process's default, passes everything to the system's own and fails the
// writes of the watched file (and its -wal and -journal) while a fault is on. The kiosk's own
// connections, opened through Qt's driver on the same library, meet the fault as they would on
// a real site.
class DisqueEnPanne
{
public:
    enum class Panne { Aucune, LectureSeule, DisquePlein };

    // Installs the VFS once for the process.
    static void installer();
    // From now on, writes of that file fail as the fault says.
    static void panne(Panne panne, const QString &fichier = {});
    // Writes refused since the fault was set.
    static int refus();
};

} // namespace Movendi::Test
