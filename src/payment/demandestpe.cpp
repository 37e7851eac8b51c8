#include "demandestpe.h"

#include "erreurmpc10.h"
#include "etatpaiement.h"
#include "pontagetpvnew.h"
#include "telecollecte.h"
#include "terminalframe.h"

#include "startup/journal.h"

namespace Movendi::Payment {

namespace {

constexpr int UnavailableJournalEvery = 1000;

void journal(const char *contexte, const QString &message)
{
    Startup::JournaliserErreur(QString::fromUtf8(contexte), message);
}

QString resultChar(const QByteArray &answer)
{
    return terminalText(charAt(answer, 7));
}

} // namespace

QByteArray montantTerminal(qint64 cents)
{
    return QByteArray::number(qMax<qint64>(cents, 0)).rightJustified(8, '0');
}

QByteArray messageSolvabilite(qint64 cents)
{
    return buildMessage("AK", "0" + montantTerminal(cents) + "30" + "978" + "2D");
}

QByteArray messageDebit(qint64 cents)
{
    return buildMessage("AL", montantTerminal(cents) + "978");
}

int DemSwi()
{
    if (BidForLine() == 0)
        return -400;
    int expected = 13;
    const QByteArray answer = ExchangeMessage(buildMessage("AA"), expected, 3);
    if (answer == ErrMessage)
        return -400;

    const QByteArray security = charAt(answer, 10);
    if (security == "1" || security == "2" || security == "3") {
        journal("DemSwi", security == "1" ? QStringLiteral("Pin-pad hors service, sécurité activée")
                          : security == "2"
                              ? QStringLiteral("Lecteur hors service, sécurité activée")
                              : QStringLiteral("Pin-pad et lecteur hors service, "
                                               "sécurité activée"));
        return -403;
    }
    const QByteArray remote = charAt(answer, 9);
    if (remote == "1" || remote == "2") {
        journal("DemSwi", remote == "1" ? QStringLiteral("télécollecte en cours")
                                        : QStringLiteral("téléparamétrage en cours"));
        return -404;
    }
    const QByteArray availability = charAt(answer, 7);
    if (availability == "1") {
        EtatPaiement &e = etatPaiement();
        if (++e.TerminalDownCount >= UnavailableJournalEvery) {
            e.TerminalDownCount = 0;
            journal("DemSwi", TexteResultatDemVal(QStringLiteral("1")));
        }
        return -405;
    }
    if (availability == "2") {
        journal("DemSwi", TexteResultatDemVal(QStringLiteral("2")));
        return -405;
    }
    const QByteArray card = charAt(answer, 8);
    if (card == "1")
        return 255;
    if (card == "0")
        return 1;
    return -400;
}

int DemVal(bool ecouter)
{
    if (!CheckTerminalReady())
        return -700;
    const QByteArray message = messageSolvabilite(etatPaiement().PaymentAmountCents);
    QByteArray answer;
    if (ecouter) {
        answer = ExchangeAndListen(message, 322, 180, Ecoute::DemVAl);
        const std::optional<int> length = statedLength(answer);
        if (length && *length - 239 > MaxSingleBlockAnswer)
            answer += SendAndWait(QByteArray(1, Ctl::ACK), false, *length - 239, 3);
    } else {
        int length = 322;
        answer = ExchangeSizedAnswer(message, length, 180);
    }

    const QString result = resultChar(answer);
    if (result == QLatin1String("0"))
        return 255;
    if (result == QLatin1String("1"))
        return -704;
    const QString cause = QStringLiteral("Cause: ") + TexteResultatDemVal(result) +
                          QStringLiteral(" - ") +
                          TexteDiagnostic(terminalText(field(answer, 8, 9)));
    if (result == QLatin1String("F") || result == QLatin1String("9")) {
        journal("Carte refusée DemVal", maskCardNumbersIn(terminalText(answer)));
        journal("Carte refusée DemVal", cause);
        return 2;
    }
    if (answer == ErrMessage) {
        DemDemarrage();
        return 0;
    }
    journal("Carte refusée DemVal", cause);
    return 1;
}

int DemEnr(bool ecouter)
{
    EtatPaiement &e = etatPaiement();
    e.CardNumber.clear();
    if (!CheckTerminalReady())
        return -200;
    const QByteArray message = messageDebit(e.PaymentAmountCents);
    QByteArray answer;
    if (ecouter) {
        answer = ExchangeAndListen(message, 364, 10, Ecoute::DemEnr);
    } else {
        int expected = 364;
        answer = ExchangeMessage(message, expected, 10);
    }

    const QString result = resultChar(answer);
    if (result == QLatin1String("0")) {
        e.CardNumber = maskCardNumber(terminalText(field(answer, 176, 191)));
        BuildBankTickets(answer);
        return 255;
    }
    if (result == QLatin1String("6")) {
        journal("DemEnr", QStringLiteral("OK: ") + TexteResultatDemEnr(result));
        return 255;
    }
    journal("Carte refusée DemEnr", QStringLiteral("Cause: ") + TexteResultatDemEnr(result));
    return result == QLatin1String("1") ? -204 : 1;
}

QByteArray DemDemarrage()
{
    if (!CheckTerminalReady())
        return {};
    return ExchangeAndListen(buildMessage("AU"), 12, 10, Ecoute::Demarrage);
}

} // namespace Movendi::Payment
