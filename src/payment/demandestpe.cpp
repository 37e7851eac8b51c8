#include "payment/demandestpe.h"

#include "payment/erreurmpc10.h"
#include "payment/pontagetpvnew.h"
#include "payment/resultatstpe.h"
#include "payment/terminalframe.h"

namespace Movendi::Payment {

namespace {

constexpr int UnavailableJournalEvery = 1000;
// The terminal takes amounts as exactly eight digits.
constexpr qint64 LargestAmountCents = 99999999;

// Neither clamped nor sent longer: an amount the terminal cannot take is refused here.
QString amountOutOfRange(qint64 cents)
{
    return QStringLiteral("montant refusé avant envoi: %1 centimes, hors de 0 à %2")
        .arg(cents)
        .arg(LargestAmountCents);
}

QString resultChar(const QByteArray &answer)
{
    return terminalText(charAt(answer, Position::Result));
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

int LiaisonTerminal::DemSwi()
{
    const auto journal = [this](const QString &message) {
        journaliser(QStringLiteral("DemSwi"), message);
    };
    if (BidForLine() == Resultat::LigneRefusee)
        return Resultat::StatutSansLigne;
    const ReponseTerminal reponse = ExchangeMessage(buildMessage("AA"), 13, 3);
    if (reponse.echec)
        return Resultat::StatutSansLigne;
    const QByteArray &answer = reponse.texte;

    const QByteArray security = charAt(answer, Position::Security);
    if (security == "1" || security == "2" || security == "3") {
        journal(security == "1"   ? QStringLiteral("Pin-pad hors service, sécurité activée")
                : security == "2" ? QStringLiteral("Lecteur hors service, sécurité activée")
                                  : QStringLiteral("Pin-pad et lecteur hors service, "
                                                   "sécurité activée"));
        return Resultat::SecuriteActivee;
    }
    const QByteArray remote = charAt(answer, Position::RemoteActivity);
    if (remote == "1" || remote == "2") {
        journal(remote == "1" ? QStringLiteral("télécollecte en cours")
                              : QStringLiteral("téléparamétrage en cours"));
        return Resultat::ActiviteDistante;
    }
    const QByteArray availability = charAt(answer, Position::Availability);
    if (availability == "1") {
        if (++m_etat.TerminalDownCount >= UnavailableJournalEvery) {
            m_etat.TerminalDownCount = 0;
            journal(TexteResultatDemVal(QStringLiteral("1")));
        }
        return Resultat::TerminalIndisponible;
    }
    if (availability == "2") {
        journal(TexteResultatDemVal(QStringLiteral("2")));
        return Resultat::TerminalIndisponible;
    }
    const QByteArray card = charAt(answer, Position::CardInReader);
    if (card == "1")
        return Resultat::Ok;
    if (card == "0")
        return Resultat::SansCarte;
    return Resultat::StatutSansLigne;
}

int LiaisonTerminal::DemVal(bool ecouter)
{
    const qint64 cents = m_etat.PaymentAmountCents;
    const QByteArray message = messageSolvabilite(cents);
    if (message.isEmpty()) {
        journaliser(QStringLiteral("DemVal"), amountOutOfRange(cents));
        return Resultat::SolvabiliteRefusee;
    }
    if (!CheckTerminalReady())
        return Resultat::SolvabiliteSansLigne;
    ReponseTerminal reponse;
    if (ecouter) {
        reponse = ExchangeAndListen(message, 180, Ecoute::DemVAl);
        const std::optional<int> length = statedLength(reponse.texte);
        if (length && secondBlockLength(*length) > MaxSingleBlockAnswer)
            reponse.texte +=
                SendAndWait(QByteArray(1, Ctl::ACK), false, secondBlockLength(*length), 3);
    } else {
        reponse = ExchangeSizedAnswer(message, 180);
    }
    const QByteArray &answer = reponse.texte;

    const QString result = resultChar(answer);
    if (result == QLatin1String("0"))
        return Resultat::Ok;
    if (result == QLatin1String("1"))
        return Resultat::SolvabiliteIndisponible;
    const QString cause =
        QStringLiteral("Cause: ") + TexteResultatDemVal(result) + QStringLiteral(" - ") +
        TexteDiagnostic(
            terminalText(field(answer, Position::DiagnosticFirst, Position::DiagnosticLast)));
    const QString refusee = QStringLiteral("Carte refusée DemVal");
    if (result == QLatin1String("F") || result == QLatin1String("9")) {
        journaliser(refusee, maskAnswer(answer));
        journaliser(refusee, cause);
        return Resultat::CarteRefusee;
    }
    if (reponse.echec) {
        DemDemarrage();
        return Resultat::TerminalRedemarre;
    }
    journaliser(refusee, cause);
    return Resultat::SolvabiliteRefusee;
}

int LiaisonTerminal::DemEnr(bool ecouter)
{
    m_etat.CardNumber.clear();
    const QByteArray message = messageDebit(m_etat.PaymentAmountCents);
    if (message.isEmpty()) {
        journaliser(QStringLiteral("DemEnr"), amountOutOfRange(m_etat.PaymentAmountCents));
        return Resultat::DebitRefuse;
    }
    if (!CheckTerminalReady())
        return Resultat::DebitSansLigne;
    const QByteArray answer = ecouter ? ExchangeAndListen(message, 10, Ecoute::DemEnr).texte
                                      : ExchangeMessage(message, 364, 10).texte;

    const QString result = resultChar(answer);
    if (result == QLatin1String("0")) {
        m_etat.CardNumber = maskCardNumber(
            terminalText(field(answer, Position::CardNumberFirst, Position::CardNumberLast)));
        BuildBankTickets(answer);
        return Resultat::Ok;
    }
    if (result == QLatin1String("6")) {
        journaliser(QStringLiteral("DemEnr"), QStringLiteral("OK: ") + TexteResultatDemEnr(result));
        return Resultat::Ok;
    }
    journaliser(QStringLiteral("Carte refusée DemEnr"),
                QStringLiteral("Cause: ") + TexteResultatDemEnr(result));
    return result == QLatin1String("1") ? Resultat::DebitIndisponible : Resultat::DebitRefuse;
}

QByteArray LiaisonTerminal::DemDemarrage()
{
    if (!CheckTerminalReady())
        return {};
    return ExchangeAndListen(buildMessage("AU"), 10, Ecoute::Demarrage).texte;
}

} // namespace Movendi::Payment
