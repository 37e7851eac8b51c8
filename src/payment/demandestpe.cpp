#include "payment/demandestpe.h"

#include "payment/environnementpaiement.h"
#include "payment/erreurmpc10.h"
#include "payment/etatpaiement.h"
#include "payment/pontagetpvnew.h"
#include "payment/resultatstpe.h"
#include "payment/telecollecte.h"
#include "payment/terminalframe.h"

namespace Movendi::Payment {

namespace {

constexpr int UnavailableJournalEvery = 1000;
// The terminal takes amounts as exactly eight digits.
constexpr qint64 LargestAmountCents = 99999999;

void journal(const char *contexte, const QString &message)
{
    journaliser(QString::fromUtf8(contexte), message);
}

// Neither clamped nor sent longer: an amount the terminal cannot take is refused here.
QString amountOutOfRange(qint64 cents)
{
    return QStringLiteral("montant refusé avant envoi: %1 centimes, hors de 0 à %2")
        .arg(cents)
        .arg(LargestAmountCents);
}

QString resultChar(const QByteArray &answer)
{
    return terminalText(charAt(answer, 7));
}

} // namespace

std::optional<QByteArray> montantTerminal(qint64 cents)
{
    if (cents < 0 || cents > LargestAmountCents)
        return std::nullopt;
    return QByteArray::number(cents).rightJustified(8, '0');
}

QByteArray messageSolvabilite(qint64 cents)
{
    const auto amount = montantTerminal(cents);
    return amount ? buildMessage("AK", "0" + *amount + "30" + "978" + "2D") : QByteArray();
}

QByteArray messageDebit(qint64 cents)
{
    const auto amount = montantTerminal(cents);
    return amount ? buildMessage("AL", *amount + "978") : QByteArray();
}

int DemSwi()
{
    if (BidForLine() == Resultat::LigneRefusee)
        return Resultat::StatutSansLigne;
    int expected = 13;
    const QByteArray answer = ExchangeMessage(buildMessage("AA"), expected, 3);
    if (answer == ErrMessage)
        return Resultat::StatutSansLigne;

    const QByteArray security = charAt(answer, 10);
    if (security == "1" || security == "2" || security == "3") {
        journal("DemSwi", security == "1" ? QStringLiteral("Pin-pad hors service, sécurité activée")
                          : security == "2"
                              ? QStringLiteral("Lecteur hors service, sécurité activée")
                              : QStringLiteral("Pin-pad et lecteur hors service, "
                                               "sécurité activée"));
        return Resultat::SecuriteActivee;
    }
    const QByteArray remote = charAt(answer, 9);
    if (remote == "1" || remote == "2") {
        journal("DemSwi", remote == "1" ? QStringLiteral("télécollecte en cours")
                                        : QStringLiteral("téléparamétrage en cours"));
        return Resultat::ActiviteDistante;
    }
    const QByteArray availability = charAt(answer, 7);
    if (availability == "1") {
        EtatPaiement &e = etatPaiement();
        if (++e.TerminalDownCount >= UnavailableJournalEvery) {
            e.TerminalDownCount = 0;
            journal("DemSwi", TexteResultatDemVal(QStringLiteral("1")));
        }
        return Resultat::TerminalIndisponible;
    }
    if (availability == "2") {
        journal("DemSwi", TexteResultatDemVal(QStringLiteral("2")));
        return Resultat::TerminalIndisponible;
    }
    const QByteArray card = charAt(answer, 8);
    if (card == "1")
        return Resultat::Ok;
    if (card == "0")
        return Resultat::SansCarte;
    return Resultat::StatutSansLigne;
}

int DemVal(bool ecouter)
{
    const qint64 cents = etatPaiement().PaymentAmountCents;
    const QByteArray message = messageSolvabilite(cents);
    if (message.isEmpty()) {
        journal("DemVal", amountOutOfRange(cents));
        return Resultat::SolvabiliteRefusee;
    }
    if (!CheckTerminalReady())
        return Resultat::SolvabiliteSansLigne;
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
        return Resultat::Ok;
    if (result == QLatin1String("1"))
        return Resultat::SolvabiliteIndisponible;
    const QString cause = QStringLiteral("Cause: ") + TexteResultatDemVal(result) +
                          QStringLiteral(" - ") +
                          TexteDiagnostic(terminalText(field(answer, 8, 9)));
    if (result == QLatin1String("F") || result == QLatin1String("9")) {
        journal("Carte refusée DemVal", maskAnswer(answer));
        journal("Carte refusée DemVal", cause);
        return Resultat::CarteRefusee;
    }
    if (answer == ErrMessage) {
        DemDemarrage();
        return Resultat::TerminalRedemarre;
    }
    journal("Carte refusée DemVal", cause);
    return Resultat::SolvabiliteRefusee;
}

int DemEnr(bool ecouter)
{
    EtatPaiement &e = etatPaiement();
    e.CardNumber.clear();
    const QByteArray message = messageDebit(e.PaymentAmountCents);
    if (message.isEmpty()) {
        journal("DemEnr", amountOutOfRange(e.PaymentAmountCents));
        return Resultat::DebitRefuse;
    }
    if (!CheckTerminalReady())
        return Resultat::DebitSansLigne;
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
        return Resultat::Ok;
    }
    if (result == QLatin1String("6")) {
        journal("DemEnr", QStringLiteral("OK: ") + TexteResultatDemEnr(result));
        return Resultat::Ok;
    }
    journal("Carte refusée DemEnr", QStringLiteral("Cause: ") + TexteResultatDemEnr(result));
    return result == QLatin1String("1") ? Resultat::DebitIndisponible : Resultat::DebitRefuse;
}

QByteArray DemDemarrage()
{
    if (!CheckTerminalReady())
        return {};
    return ExchangeAndListen(buildMessage("AU"), 12, 10, Ecoute::Demarrage);
}

} // namespace Movendi::Payment
