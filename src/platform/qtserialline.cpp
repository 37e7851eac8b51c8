#include "platform/qtserialline.h"

#include <QDeadlineTimer>
#include <QSerialPort>

namespace Movendi::Platform {

namespace {

QSerialPort::Parity qtParity(char parity)
{
    switch (parity) {
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

// Enough for every pending byte at the line rate, plus a margin for a slow driver.
int writeBudgetMs(qint64 bytes, qint32 baud)
{
    return int(qMin<qint64>(1000 + bytes * 10 * 1000 / qMax(baud, 1), 60000));
}

} // namespace

QtSerialLine::QtSerialLine(QString iniPath)
    : m_iniPath(std::move(iniPath)), m_port(std::make_unique<QSerialPort>())
{
}

QtSerialLine::~QtSerialLine()
{
    close();
}

bool QtSerialLine::fail(const QString &reason)
{
    m_error = reason;
    return false;
}

bool QtSerialLine::open(int portNumber, const QString &settings)
{
    close();
    m_error.clear();
    const std::optional<SerialSettings> parsed = SerialSettings::parse(settings);
    if (!parsed)
        return fail(QStringLiteral("Invalid line settings \"%1\"").arg(settings));
    const QString device = serialDevicePath(portNumber, m_iniPath);
    if (device.isEmpty())
        return fail(QStringLiteral("Invalid port number %1").arg(portNumber));

    // QSerialPort takes 1.5 on Linux and quietly sends 1 stop bit; termios has no such setting.
    if (parsed->stopBits == SerialSettings::OneAndHalfStopBits)
        return fail(QStringLiteral("Cannot apply \"%1\" to %2: 1.5 stop bits are not supported")
                        .arg(settings, device));
    m_port->setPortName(device);
    if (!m_port->open(QIODevice::ReadWrite))
        return fail(QStringLiteral("Cannot open %1: %2").arg(device, m_port->errorString()));

    const bool configured = m_port->setBaudRate(parsed->baud) &&
                            m_port->setDataBits(QSerialPort::DataBits(parsed->dataBits)) &&
                            m_port->setParity(qtParity(parsed->parity)) &&
                            m_port->setStopBits(QSerialPort::StopBits(parsed->stopBits)) &&
                            m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        const QString reason = m_port->errorString();
        m_port->close();
        return fail(QStringLiteral("Cannot apply \"%1\" to %2: %3").arg(settings, device, reason));
    }
    m_baud = parsed->baud;
    return true;
}

void QtSerialLine::close()
{
    if (m_port->isOpen())
        m_port->close();
}

bool QtSerialLine::isOpen() const
{
    return m_port->isOpen();
}

void QtSerialLine::setInputLength(int n)
{
    m_inputLength = qMax(n, 0);
}

// The callers poll without running the event loop, so what the driver holds is fetched here.
void QtSerialLine::pullReceived() const
{
    if (!m_port->isOpen())
        return;
    if (!m_port->waitForReadyRead(0))
        m_port->clearError(); // nothing pending is a time-out, not a fault of the line
}

QByteArray QtSerialLine::read()
{
    if (!m_port->isOpen())
        return {};
    pullReceived();
    return m_inputLength == 0 ? m_port->readAll() : m_port->read(m_inputLength);
}

int QtSerialLine::bytesAvailable() const
{
    pullReceived();
    return m_port->isOpen() ? int(m_port->bytesAvailable()) : 0;
}

bool QtSerialLine::write(const QByteArray &bytes)
{
    if (!m_port->isOpen())
        return fail(QStringLiteral("The line is not open"));
    if (bytes.isEmpty())
        return true;
    if (m_port->write(bytes) != bytes.size())
        return fail(QStringLiteral("Cannot write to %1: %2")
                        .arg(m_port->portName(), m_port->errorString()));
    QDeadlineTimer deadline(writeBudgetMs(m_port->bytesToWrite(), m_baud));
    while (m_port->bytesToWrite() > 0) {
        if (!m_port->waitForBytesWritten(int(deadline.remainingTime())) || deadline.hasExpired())
            break;
    }
    if (m_port->bytesToWrite() > 0) {
        const QString reason = m_port->error() == QSerialPort::TimeoutError
                                   ? QStringLiteral("the device did not take the bytes in time")
                                   : m_port->errorString();
        // A late remainder would reach the peer after the caller gave up on the exchange.
        m_port->clear(QSerialPort::Output);
        m_port->clearError();
        return fail(QStringLiteral("Cannot write to %1: %2").arg(m_port->portName(), reason));
    }
    return true;
}

QString QtSerialLine::errorText() const
{
    return m_error;
}

std::unique_ptr<SerialLine> QtSerialLineFactory::create(const QString &iniPath)
{
    return std::make_unique<QtSerialLine>(iniPath);
}

} // namespace Movendi::Platform
