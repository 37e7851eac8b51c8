// libFuzzer target: terminal answers of any content through the parsers, the ticket and report
// layouts, and the link's reading of the line (phases, two-block joins, the line bid).
#include "payment/banktickets.h"
#include "payment/demandestpe.h"
#include "payment/etatpaiement.h"
#include "payment/pontagetpvnew.h"
#include "payment/remittancereport.h"
#include "payment/telecollecte.h"
#include "payment/terminalframe.h"
#include "platform/clock.h"
#include "platform/clocksetter.h"
#include "platform/seams.h"
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
    Platform::installClock(&fuzzClock);
    Platform::installSerialLines(&fuzzLines);
    Platform::installClockSetter(&clockSetter);
    clockSetter.clear();

    if (size < 1)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    switch (data[0] % 8) {
    case 0: {
        const Payment::BankTickets t = Payment::layOutBankTickets(input);
        (void)t;
        break;
    }
    case 1:
        (void)Payment::layOutRemittanceReport(input);
        (void)Payment::evaluateReport(input);
        (void)Payment::evaluateRemittance(input);
        break;
    case 2:
        (void)Payment::maskCardNumbersIn(QString::fromLatin1(input));
        (void)Payment::displayText(input);
        (void)Payment::joinBlocks(input, input.mid(int(input.size() / 2)));
        (void)Payment::statedLength(input);
        break;
    default: {
        // The link reading whatever the terminal sends.
        Payment::reinitialiserPaiement();
        fuzzLines.script = input;
        Payment::etatPaiement().PaymentAmountCents = 1250;
        switch (data[0] % 8) {
        case 3:
            (void)Payment::DemSwi();
            break;
        case 4:
            (void)Payment::DemVal(true);
            break;
        case 5:
            (void)Payment::DemEnr(data[0] & 0x80);
            break;
        case 6:
            (void)Payment::DemTC(data[0] & 0x80);
            break;
        default:
            (void)Payment::DemTIC();
            break;
        }
        Payment::reinitialiserPaiement();
        break;
    }
    }
    return 0;
}
