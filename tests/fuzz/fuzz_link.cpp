// libFuzzer target: the link reading whatever the terminal sends through every request (phases,
// block joins, the line bid, the stream reading). Links the payment library, which stands on
// its own.
#include "payment/etatpaiement.h"
#include "payment/pontagetpvnew.h"
#include "platform/clock.h"
#include "platform/clocksetter.h"
#include "platform/serialline.h"

#include <QCoreApplication>

#include <cstdint>

using namespace Movendi;

namespace {

// Time moves only when the link waits, so silent stretches cost nothing.
class FuzzClock final : public Platform::Clock
{
public:
    QDateTime now() const override
    {
        return QDateTime(QDate(2026, 12, 8), QTime(10, 0)).addMSecs(m_ms);
    }
    qint64 monotonicMs() const override { return m_ms; }
    void sleepMs(qint64 ms) override { m_ms += ms; }
    void processEventsFor(qint64 maxMs) override { m_ms += qMax<qint64>(maxMs, 1); }
    quint64 callAfter(qint64, std::function<void()>) override { return 0; }
    void cancel(quint64) override {}
    qint64 m_ms = 0;
};

// A terminal that says the fuzz input, a chunk after each write of the kiosk.
class FuzzLine final : public Platform::SerialLine
{
public:
    bool open(int, const QString &) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void setInputLength(int n) override { m_length = qMax(n, 0); }
    QByteArray read() override
    {
        const QByteArray out = m_length ? m_ready.left(m_length) : m_ready;
        m_ready.remove(0, out.size());
        return out;
    }
    int bytesAvailable() const override { return int(m_ready.size()); }
    bool write(const QByteArray &) override
    {
        if (m_script.isEmpty())
            return true;
        const int chunk = 1 + (quint8(m_script.at(0)) % 64);
        m_ready += m_script.mid(1, chunk);
        m_script.remove(0, chunk + 1);
        return true;
    }
    QString errorText() const override { return {}; }
    QByteArray m_script;

private:
    bool m_open = false;
    int m_length = 0;
    QByteArray m_ready;
};

class FuzzLines final : public Platform::SerialLineFactory
{
public:
    std::unique_ptr<Platform::SerialLine> create(const QString &) override
    {
        auto line = std::make_unique<FuzzLine>();
        line->m_script = script;
        return line;
    }
    QByteArray script;
};

FuzzClock fuzzClock;
FuzzLines fuzzLines;
Platform::RecordingClockSetter clockSetter;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_answers";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    clockSetter.clear();

    if (size < 1)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    fuzzLines.script = input;
    // A fresh link on the fuzz line and clock, nothing installed.
    Payment::LiaisonTerminal::Environnement environnement;
    environnement.lignes = &fuzzLines;
    environnement.horloge = &fuzzClock;
    environnement.reglageHorloge = &clockSetter;
    Payment::LiaisonTerminal lien(environnement);
    lien.etat().PaymentAmountCents = 1250;
    switch (data[0] % 5) {
    case 0:
        (void)lien.DemSwi();
        break;
    case 1:
        (void)lien.DemVal(true);
        break;
    case 2:
        (void)lien.DemEnr(data[0] & 0x80);
        break;
    case 3:
        (void)lien.DemTC(data[0] & 0x80);
        break;
    default:
        (void)lien.DemTIC();
        break;
    }
    return 0;
}
