// libFuzzer target: any bytes as a profile file (RURUDIZ.ini, the back-office's configuration).
// Every key the file check lists as reachable reads back with the same value, within the
// profile functions' length; every value reads as an integer without undefined behaviour.
#include "platform/profilefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

using namespace Movendi::Platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString chemin = QDir::temp().filePath(
        QStringLiteral("fuzz_profil_%1.ini").arg(QCoreApplication::applicationPid()));
    {
        QFile f(chemin);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    ProfileStatus statut = ProfileStatus::Absent;
    const QList<ProfileEntry> entrees = readProfileEntries(chemin, &statut);
    int lues = 0;
    for (const ProfileEntry &e : entrees) {
        (void)parseProfileInt(e.value);
        if (e.hidden || e.section.isNull() || ++lues > 20)
            continue;
        const ProfileValue v = readProfileString(chemin, e.section, e.key);
        if (v.status != ProfileStatus::Found || v.value != e.value ||
            v.value.size() > ProfileValueMaxLength)
            std::abort();
    }
    return 0;
}
