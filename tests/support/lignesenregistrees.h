#pragma once

#include "platform/serialline.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Movendi::Test {

// A serial line kept in memory: each opening (port and settings) and every byte written are
// recorded; nothing is ever read. Writing on a closed line fails, as on a real port.
class LigneEnregistree final : public Platform::SerialLine
{
public:
    // tout, when given, receives the bytes too and must outlive the line.
    explicit LigneEnregistree(QByteArray *tout = nullptr) : m_tout(tout) {}

    bool open(int port, const QString &reglages) override;
    void close() override { m_ouverte = false; }
    bool isOpen() const override { return m_ouverte; }
    void setInputLength(int) override {}
    QByteArray read() override { return {}; }
    int bytesAvailable() const override { return 0; }
    bool write(const QByteArray &octets) override;
    QString errorText() const override { return m_ouverte ? QString() : QStringLiteral("fermé"); }

    QByteArray recu;
    QStringList ouvertures;

private:
    QByteArray *m_tout;
    bool m_ouverte = false;
};

// Installed as the serial-line factory: every line the kiosk creates is a LigneEnregistree,
// so a test reads what a device would have received without a device or a process. The
// printer's view (bytes, readable text) reads like the printer simulator's.
class LignesEnregistrees final : public Platform::SerialLineFactory
{
public:
    std::unique_ptr<Platform::SerialLine> create(const QString &) override;

    // The last line created, or null.
    LigneEnregistree *derniere = nullptr;

    // Every byte written on any line, in the order written.
    QByteArray bytes() const { return m_tout; }
    // Those bytes as the printer simulator renders them ("[GRAS]", "[COUPE]"...).
    QString text() const;
    // Whether at least n bytes were written (the kiosk writes before it returns).
    bool waitForBytes(qsizetype n) const { return bytes().size() >= n; }

private:
    QByteArray m_tout;
};

} // namespace Movendi::Test
