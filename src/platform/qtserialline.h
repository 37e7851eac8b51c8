#pragma once

#include "platform/serialline.h"

#include <memory>

class QSerialPort;

namespace Movendi::Platform {

// A serial line on a local tty device through QSerialPort: raw mode, no flow control, the device
// held exclusively while open.
class QtSerialLine final : public SerialLine
{
public:
    explicit QtSerialLine(QString iniPath);
    ~QtSerialLine() override;

    bool open(int portNumber, const QString &settings) override;
    void close() override;
    bool isOpen() const override;
    void setInputLength(int n) override;
    QByteArray read() override;
    int bytesAvailable() const override;
    bool write(const QByteArray &bytes) override;
    QString errorText() const override;

private:
    bool fail(const QString &reason);
    void pullReceived() const;

    QString m_iniPath;
    std::unique_ptr<QSerialPort> m_port;
    int m_inputLength = 0;
    qint32 m_baud = 9600;
    QString m_error;
};

// Creates QtSerialLine objects; the program's default factory.
class QtSerialLineFactory final : public SerialLineFactory
{
public:
    std::unique_ptr<SerialLine> create(const QString &iniPath) override;
};

} // namespace Movendi::Platform
