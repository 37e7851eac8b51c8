#pragma once

namespace Movendi::Platform {

class Clock;
class LecteurMedia;
class ClockSetter;
class FtpUploads;
class MessageBox;
class PortOutput;
class SerialLineFactory;

// The installed device seams. Each starts on its real back-end; tests and the demo install
// simulated ones. The installer keeps ownership and must reinstall (or pass nullptr, which
// restores the real back-end) before the object goes away.
Clock &clock();
void installClock(Clock *clock);

MessageBox &messageBox();
void installMessageBox(MessageBox *box);

SerialLineFactory &serialLines();
void installSerialLines(SerialLineFactory *factory);

// The LCD's port output; by default a simulated display that mirrors nothing.
PortOutput &portOutput();
void installPortOutput(PortOutput *output);

// The attract film's player; by default none (every call answers that no player is there).
LecteurMedia &lecteurMedia();
void installLecteurMedia(LecteurMedia *lecteur);

ClockSetter &clockSetter();
void installClockSetter(ClockSetter *setter);

// FTP uploads; by default libcurl with the kiosk's time limits.
FtpUploads &ftpUploads();
void installFtpUploads(FtpUploads *uploads);

} // namespace Movendi::Platform
