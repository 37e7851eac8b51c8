#pragma once

#include "platform/pointarret.h"
#include "platform/seams.h"
#include "platform/watchdog.h"

#include <utility>

namespace Movendi::Platform {

// What is installed in one of the program's seams, for as long as this object lives; what was
// installed before comes back when it goes. The composition root, the tools and the tests
// install through it, so nothing installed outlives its owner and no removal is forgotten.
// Lire gives what is installed now, Installer installs a value (a null pointer or an empty
// function puts the seam's own back-end back).
template <typename T, T (*Lire)(), void (*Installer)(T)> class Installation
{
public:
    explicit Installation(T valeur) : m_avant(Lire()) { Installer(std::move(valeur)); }
    ~Installation() { Installer(std::move(m_avant)); }
    Installation(const Installation &) = delete;
    Installation &operator=(const Installation &) = delete;

private:
    T m_avant;
};

namespace Detail {
template <typename T, T &(*Lire)()> T *adresse()
{
    return &Lire();
}
} // namespace Detail

// A seam read by reference (it always holds something).
template <typename T, T &(*Lire)(), void (*Installer)(T *)>
using InstallationSeam = Installation<T *, &Detail::adresse<T, Lire>, Installer>;

using InstalledClock = InstallationSeam<Clock, &clock, &installClock>;
using InstalledMessageBox = InstallationSeam<MessageBox, &messageBox, &installMessageBox>;
using InstalledSerialLines = InstallationSeam<SerialLineFactory, &serialLines, &installSerialLines>;
using InstalledPortOutput = InstallationSeam<PortOutput, &portOutput, &installPortOutput>;
using InstalledLecteurMedia = InstallationSeam<LecteurMedia, &lecteurMedia, &installLecteurMedia>;
using InstalledClockSetter = InstallationSeam<ClockSetter, &clockSetter, &installClockSetter>;
using InstalledFtpUploads = InstallationSeam<FtpUploads, &ftpUploads, &installFtpUploads>;
using InstalledWatchdogFeed = Installation<WatchdogFeed, &watchdogFeed, &installWatchdogFeed>;
using InstalledObservateurPoints =
    Installation<ObservateurPoints, &observateurPoints, &installObservateurPoints>;

} // namespace Movendi::Platform
