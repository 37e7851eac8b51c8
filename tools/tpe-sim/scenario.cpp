#include "scenario.h"

#include "payment/terminalframe.h"

#include <QFile>
#include <QPair>
#include <QRegularExpression>

#include <algorithm>

namespace Movendi::TpeSim {

namespace {

bool isDigits(const QString &text, int length)
{
    return text.size() == length && Payment::isDigits(text.toLatin1());
}

std::optional<int> count(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0)
        return std::nullopt;
    return value;
}

// One printable character, as the terminal puts it in an answer.
std::optional<char> code(const QString &text)
{
    if (text.size() != 1 || text.at(0).unicode() < 0x21 || text.at(0).unicode() > 0x7e)
        return std::nullopt;
    return char(text.at(0).unicode());
}

// One code per acquirer; the list is replaced only when every word is a code.
bool codes(const QStringList &words, QList<char> &list)
{
    QList<char> read;
    for (const QString &word : words) {
        if (!code(word))
            return false;
        read.append(*code(word));
    }
    list = read;
    return true;
}

std::optional<bool> yesNo(const QString &text)
{
    if (text == QLatin1String("oui"))
        return true;
    if (text == QLatin1String("non"))
        return false;
    return std::nullopt;
}

} // namespace

std::optional<QString> Scenario::apply(const QString &directive)
{
    const QString line = directive.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
        return std::nullopt;
    const QStringList w = line.split(QRegularExpression(QStringLiteral("\\s+")));
    const QString &name = w.at(0);
    const qsizetype n = w.size();
    const auto bad = [&] { return QStringLiteral("directive incomprise: \"%1\"").arg(line); };
    // An optional count after the name (Always when absent), then optionally "apres M".
    const auto budget = [&](Budget &b) -> std::optional<QString> {
        if (n == 1) {
            b.set(Budget::Always);
            return std::nullopt;
        }
        const auto c = count(w.at(1));
        if (!c || (n != 2 && n != 4))
            return bad();
        std::optional<int> skip = 0;
        if (n == 4)
            skip = w.at(2) == QLatin1String("apres") ? count(w.at(3)) : std::nullopt;
        if (!skip)
            return bad();
        b.set(*c, *skip);
        return std::nullopt;
    };

    if (name == QLatin1String("carte") && n == 2) {
        if (w.at(1) == QLatin1String("presente"))
            cardAtStart = true;
        else if (w.at(1) == QLatin1String("absente"))
            cardAtStart = false;
        else
            return bad();
    } else if (name == QLatin1String("insertion") && n == 2 && count(w.at(1))) {
        insertAfterPolls = *count(w.at(1));
    } else if (name == QLatin1String("retrait") && n == 2 && w.at(1) == QLatin1String("jamais")) {
        removeAfterPolls = -1;
    } else if (name == QLatin1String("retrait") && n == 2 && count(w.at(1))) {
        removeAfterPolls = *count(w.at(1));
    } else if (name == QLatin1String("numero-carte") && n == 2 && isDigits(w.at(1), 16)) {
        cardNumber = w.at(1).toLatin1();
    } else if (name == QLatin1String("expiration") && n == 2 && isDigits(w.at(1), 4)) {
        expiry = w.at(1).toLatin1();
    } else if (name == QLatin1String("etat") && n == 2 && code(w.at(1))) {
        availability.append(*code(w.at(1)));
    } else if (name == QLatin1String("activite") && n == 2 && code(w.at(1))) {
        remoteActivity.append(*code(w.at(1)));
    } else if (name == QLatin1String("securite") && n == 2 && code(w.at(1))) {
        security.append(*code(w.at(1)));
    } else if (name == QLatin1String("solvabilite") && n >= 2) {
        if (w.at(1) == QLatin1String("accepte") && n == 2) {
            solvency.append({});
        } else if (w.at(1) == QLatin1String("refuse") && (n == 3 || n == 4) && code(w.at(2))) {
            const QString diagnostic = n == 4 ? w.at(3) : QStringLiteral("00");
            if (!isDigits(diagnostic, 2))
                return bad();
            solvency.append({*code(w.at(2)), diagnostic.toLatin1()});
        } else {
            return bad();
        }
    } else if (name == QLatin1String("debit") && n >= 2) {
        if (w.at(1) == QLatin1String("accepte") && n == 2)
            debit.append('0');
        else if (w.at(1) == QLatin1String("refuse") && n == 3 && code(w.at(2)))
            debit.append(*code(w.at(2)));
        else
            return bad();
    } else if (name == QLatin1String("autorisation") && n == 2 && w.at(1).size() == 6) {
        authorisation = w.at(1).toLatin1();
    } else if (name == QLatin1String("telecollecte") && (n == 2 || n == 3)) {
        if (!codes(w.mid(1), acquirerStatus))
            return bad();
    } else if (name == QLatin1String("telecollecte-resultat") && n == 2 && code(w.at(1))) {
        remittanceResult = *code(w.at(1));
    } else if (name == QLatin1String("remise") && n == 2 && isDigits(w.at(1), 6)) {
        remittanceNumber = w.at(1).toInt();
    } else if (name == QLatin1String("rapport") && (n == 2 || n == 3)) {
        reportRecords.clear();
        for (qsizetype i = 1; i < n; ++i) {
            const auto k = count(w.at(i));
            if (!k || *k > 9)
                return bad();
            reportRecords.append(*k);
        }
    } else if (name == QLatin1String("rapport-statut") && (n == 2 || n == 3)) {
        if (!codes(w.mid(1), reportStatus))
            return bad();
    } else if (name == QLatin1String("lot") && n == 3 && count(w.at(1))) {
        bool ok = false;
        const qint64 cents = w.at(2).toLongLong(&ok);
        if (!ok || cents < 0 || w.at(2).size() > 12)
            return bad();
        reportBatch = ReportBatch{*count(w.at(1)), cents};
    } else if (name == QLatin1String("nak") && n == 2 && count(w.at(1))) {
        nakFrames = *count(w.at(1));
    } else if (name == QLatin1String("silence") && n == 1) {
        silent = true;
    } else if (name == QLatin1String("sans-ack-enq")) {
        return budget(noAckEnq);
    } else if (name == QLatin1String("sans-ack-trame")) {
        return budget(noAckFrame);
    } else if (name == QLatin1String("sans-reponse")) {
        return budget(noAnswer);
    } else if (name == QLatin1String("charabia")) {
        return budget(garbage);
    } else if (name == QLatin1String("lrc-faux")) {
        return budget(wrongLrc);
    } else if (name == QLatin1String("collision") && n <= 3) {
        collisions = 1;
        collisionLine1 = "MPC10S";
        collisionLine2 = "PATIENTEZ";
        for (qsizetype i = 1; i < n; ++i) {
            if (w.at(i) == QLatin1String("telecollecte")) {
                collisionLine1 = "TELECOLLECTE";
                collisionLine2 = "EN COURS";
            } else if (w.at(i) == QLatin1String("teleparametrage")) {
                collisionLine1 = "TELEPARAMETRAGE";
                collisionLine2 = "EN COURS";
            } else if (count(w.at(i))) {
                collisions = *count(w.at(i));
            } else {
                return bad();
            }
        }
    } else if (name == QLatin1String("cadence") && n == 2 && count(w.at(1))) {
        baud = *count(w.at(1));
    } else if (name == QLatin1String("controle") && n == 2) {
        if (w.at(1) == QLatin1String("naturel"))
            checkCharacters = CheckCharacters::Natural;
        else if (w.at(1) == QLatin1String("doux"))
            checkCharacters = CheckCharacters::Gentle;
        else if (w.at(1) == QLatin1String("piege"))
            checkCharacters = CheckCharacters::Hazardous;
        else
            return bad();
    } else if (name == QLatin1String("blanc-avant") && n == 1) {
        blankBeforeAnswer = true;
    } else if (name == QLatin1String("efface-avant") && n == 1) {
        blankBeforeAnswer = true;
        clearsBeforeAnswer = true;
    } else if (name == QLatin1String("affichage-entre-blocs") && n == 1) {
        displayBetweenBlocks = true;
    } else if (name == QLatin1String("suite") && n == 2 &&
               (w.at(1) == QLatin1String("D") || w.at(1) == QLatin1String("P"))) {
        continuationStart = char(w.at(1).at(0).unicode());
    } else if (name == QLatin1String("impression-debit") && n == 1) {
        debitPrints = true;
    } else if (name == QLatin1String("affichages-apres") && n == 2 && count(w.at(1))) {
        displaysAfterRemittance = *count(w.at(1));
    } else if (name == QLatin1String("renvoi") && n <= 2) {
        const auto every = n == 2 ? count(w.at(1)) : std::optional<int>(1);
        if (!every || *every < 1)
            return bad();
        resendEvery = *every;
    } else if (name == QLatin1String("tours-pin") && n <= 3) {
        const auto turns = n >= 2 ? count(w.at(1)) : std::optional<int>(1);
        const auto pause = n == 3 ? count(w.at(2)) : std::optional<int>(pinPauseMs);
        if (!turns || !pause)
            return bad();
        pinTurns = *turns;
        pinPauseMs = *pause;
    } else if (name == QLatin1String("controle-requetes") && n == 1) {
        checkRequests = true;
    } else if (name == QLatin1String("controle-autorisation") && n == 1) {
        checkAuthorisation = true;
    } else if (name == QLatin1String("realiste") && n == 1) {
        for (const char *d :
             {"cadence 9600", "controle piege", "blanc-avant", "affichage-entre-blocs", "suite D",
              "impression-debit", "affichages-apres 3", "renvoi 3", "tours-pin 1",
              "controle-requetes", "controle-autorisation", "collision 2 teleparametrage",
              "telecollecte 0 0", "rapport 1 1"})
            apply(QLatin1String(d));
    } else if (name == QLatin1String("affichage") && n == 2 && yesNo(w.at(1))) {
        displays = *yesNo(w.at(1));
    } else if (name == QLatin1String("impression") && n == 2 && yesNo(w.at(1))) {
        prints = *yesNo(w.at(1));
    } else if (name == QLatin1String("horloge") && n == 3 && isDigits(w.at(1), 6) &&
               isDigits(w.at(2), 6)) {
        // Two-digit years are 20yy on the terminal's tickets.
        const QDate date(2000 + w.at(1).mid(4, 2).toInt(), w.at(1).mid(2, 2).toInt(),
                         w.at(1).left(2).toInt());
        const QTime time = QTime::fromString(w.at(2), QStringLiteral("hhmmss"));
        if (!date.isValid() || !time.isValid())
            return bad();
        clock = QDateTime(date, time);
    } else if (name == QLatin1String("delai") && n == 2 && count(w.at(1))) {
        delayMs = *count(w.at(1));
    } else if (name == QLatin1String("delai-tour") && n == 3 && count(w.at(2))) {
        static const QList<QPair<QString, QByteArray>> requetes{
            {QStringLiteral("statut"), "AA"},       {QStringLiteral("solvabilite"), "AK"},
            {QStringLiteral("debit"), "AL"},        {QStringLiteral("telecollecte"), "AJ00204"},
            {QStringLiteral("rapport"), "AJ00203"}, {QStringLiteral("demarrage"), "AU"}};
        const auto it = std::find_if(requetes.begin(), requetes.end(),
                                     [&](const auto &r) { return r.first == w.at(1); });
        if (it == requetes.end())
            return bad();
        turnDelays.append({it->second, *count(w.at(2))});
    } else if (name == QLatin1String("attente-ack") && n == 2 && count(w.at(1))) {
        ackWaitMs = *count(w.at(1));
    } else {
        return bad();
    }
    return std::nullopt;
}

int Scenario::turnDelayFor(const QByteArray &request) const
{
    for (const auto &[prefix, ms] : turnDelays) {
        if (request.startsWith(prefix))
            return ms;
    }
    return delayMs;
}

bool luhnValid(const QByteArray &digits)
{
    if (!Payment::isDigits(digits))
        return false;
    int sum = 0;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        int d = digits.at(digits.size() - 1 - i) - '0';
        if (i % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    return sum % 10 == 0;
}

std::optional<QString> Scenario::applyFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("scenario illisible: %1").arg(fileName);
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        const QString line = QString::fromUtf8(file.readLine());
        if (const auto error = apply(line))
            return QStringLiteral("%1:%2: %3").arg(fileName).arg(number).arg(*error);
    }
    return std::nullopt;
}

} // namespace Movendi::TpeSim
