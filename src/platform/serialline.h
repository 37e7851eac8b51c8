#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace Movendi::Platform {

// Line settings in the "baud,parity,data bits,stop bits" text form, such as "9600,N,8,1".
struct SerialSettings
{
    static constexpr int OneAndHalfStopBits = 3;

    qint32 baud = 9600;
    char parity = 'N'; // 'N', 'E', 'O', 'M' or 'S'
    int dataBits = 8;  // 5 to 8
    int stopBits = 1;  // 1, 2 or OneAndHalfStopBits
    bool operator==(const SerialSettings &) const = default;

    // Empty for anything but four fields with a positive decimal rate, a known parity letter (in
    // either case), 5 to 8 data bits and 1, 1.5 or 2 stop bits.
    static std::optional<SerialSettings> parse(const QString &text);
};

// The ticket printer's line, wherever the kiosk opens it.
inline constexpr char TicketPrinterSettings[] = "19200,N,8,1";

// The device of port number portNumber: the one named by "PortCom", key "Port" + N of the
// profile file iniPath when that value is not empty, else /dev/ttyS(N-1). Empty below port 1.
QString serialDevicePath(int portNumber, const QString &iniPath);
// Port N's device when "PortCom"/"PortN" names none: this prefix and N - 1.
inline constexpr const char *DefaultSerialDevicePrefix = "/dev/ttyS";

/// A serial line driven the way the kiosk drives its terminal and printer lines: opened on a port
/// number, polled for what has arrived, written to. Nothing is signalled; callers poll
/// bytesAvailable() during their waits. A line starts closed; open() may be called again after
/// close() or a failed open(), and the destructor closes the line. Reading and writing a closed
/// line does nothing.
class SerialLine
{
public:
    virtual ~SerialLine() = default;

    /// Opens port portNumber with settings text such as "9600,N,8,1", holding the device so that
    /// no other line or process can open it until close(). An open line is closed first. Returns
    /// false, with the reason in errorText() and the line closed, when the settings do not parse
    /// or the device is missing, busy or refuses the settings.
    virtual bool open(int portNumber, const QString &settings) = 0;
    /// Releases the device; what was received and not read is dropped.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    /// How much one read() returns at most: 0 (the start value) everything received, n > 0 up
    /// to n bytes. Kept across open() and close(); a negative n is taken as 0.
    virtual void setInputLength(int n) = 0;
    /// Returns at once with what has arrived, limited by the input length; empty when nothing has.
    virtual QByteArray read() = 0;
    /// What has arrived and not been read yet.
    virtual int bytesAvailable() const = 0;
    /// Sends the bytes, returning once the device has taken them all; false (errorText()) when the
    /// line is closed or the device did not take them, in which case nothing more of them is sent.
    virtual bool write(const QByteArray &bytes) = 0;

    /// The reason of the last failure of open() or write().
    virtual QString errorText() const = 0;
};

/// Creates the serial lines of the program, so that tests can hand out simulated ones. The
/// installed factory lives until it is replaced (see seams.h).
class SerialLineFactory
{
public:
    virtual ~SerialLineFactory() = default;
    /// A new closed line whose port numbers name devices through the profile file iniPath.
    virtual std::unique_ptr<SerialLine> create(const QString &iniPath) = 0;
};

// The ticket printer's port as the kiosk looks for it: 20 tries from port 2 upwards, modemPort
// skipped. The port the line opened on (left open), or, when none opened, the one after the last
// tried (the line closed).
int searchTicketPrinterPort(SerialLine &line, int modemPort);

} // namespace Movendi::Platform
