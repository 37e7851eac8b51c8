#include "platform/serialline.h"

#include "platform/profilefile.h"

#include <QStringList>

namespace Movendi::Platform {

namespace {

bool isDecimal(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

std::optional<SerialSettings> SerialSettings::parse(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4)
        return std::nullopt;
    const QString baud = fields[0].trimmed();
    const QString parity = fields[1].trimmed().toUpper();
    const QString dataBits = fields[2].trimmed();
    const QString stopBits = fields[3].trimmed();

    SerialSettings settings;
    bool ok = false;
    settings.baud = baud.toInt(&ok);
    if (!isDecimal(baud) || !ok || settings.baud <= 0)
        return std::nullopt;

    if (parity.size() != 1 || !QStringLiteral("NEOMS").contains(parity))
        return std::nullopt;
    settings.parity = parity[0].toLatin1();

    if (dataBits.size() != 1 || dataBits[0] < QLatin1Char('5') || dataBits[0] > QLatin1Char('8'))
        return std::nullopt;
    settings.dataBits = dataBits[0].digitValue();

    if (stopBits == QLatin1String("1"))
        settings.stopBits = 1;
    else if (stopBits == QLatin1String("2"))
        settings.stopBits = 2;
    else if (stopBits == QLatin1String("1.5"))
        settings.stopBits = OneAndHalfStopBits;
    else
        return std::nullopt;
    return settings;
}

QString serialDevicePath(int portNumber, const QString &iniPath)
{
    if (portNumber < 1)
        return {};
    const ProfileValue configured = readProfileString(
        iniPath, QStringLiteral("PortCom"), QStringLiteral("Port") + QString::number(portNumber));
    if (configured.status == ProfileStatus::Found && !configured.value.isEmpty())
        return configured.value;
    return QLatin1String(DefaultSerialDevicePrefix) + QString::number(portNumber - 1);
}

int searchTicketPrinterPort(SerialLine &line, int modemPort)
{
    int port = 2;
    for (int essai = 0; essai < 20; ++essai) {
        if (port == modemPort)
            ++port;
        if (line.open(port, QString::fromLatin1(TicketPrinterSettings)))
            break;
        ++port;
    }
    return port;
}

} // namespace Movendi::Platform
