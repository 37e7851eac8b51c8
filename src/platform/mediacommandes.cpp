#include "platform/mediacommandes.h"

#include <QFileInfo>

namespace Movendi::Platform {

namespace {

// Splits at blanks, keeping a double-quoted piece (the quotes removed) as one word; false for an
// unclosed quote.
bool decouper(const QString &texte, QStringList *mots)
{
    QString mot;
    bool dansMot = false;
    bool cite = false;
    for (const QChar c : texte) {
        if (c == QLatin1Char('"')) {
            cite = !cite;
            dansMot = true;
        } else if (c.isSpace() && !cite) {
            if (dansMot)
                *mots << mot;
            mot.clear();
            dansMot = false;
        } else {
            mot += c;
            dansMot = true;
        }
    }
    if (cite)
        return false;
    if (dansMot)
        *mots << mot;
    return true;
}

} // namespace

std::optional<CommandeMedia> analyserCommandeMedia(const QString &texte)
{
    QStringList mots;
    if (!decouper(texte, &mots) || mots.isEmpty())
        return std::nullopt;
    CommandeMedia c;
    c.verbe = mots.takeFirst().toLower();
    if (c.verbe == QLatin1String("open")) {
        if (mots.isEmpty())
            return std::nullopt;
        const QString fichier = mots.takeFirst();
        const qsizetype bang = fichier.indexOf(QLatin1Char('!'));
        c.typeAppareil = bang >= 0 ? fichier.left(bang) : QString();
        c.chemin = bang >= 0 ? fichier.mid(bang + 1) : fichier;
        const qsizetype a = mots.indexOf(QStringLiteral("alias"));
        if (a < 0 || a + 1 >= mots.size())
            return std::nullopt;
        c.alias = mots.at(a + 1);
        mots.remove(a, 2);
        c.mots = mots;
        return c;
    }
    if (mots.isEmpty())
        return std::nullopt;
    c.alias = mots.takeFirst();
    c.mots = mots;
    return c;
}

qint64 nombreApres(const CommandeMedia &commande, const QString &mot)
{
    for (qsizetype i = 0; i + 1 < commande.mots.size(); ++i) {
        if (commande.mots.at(i).compare(mot, Qt::CaseInsensitive) == 0)
            return commande.mots.at(i + 1).toLongLong();
    }
    return 0;
}

quint32 SansLecteurMedia::envoyer(const QString &, QString *reponse)
{
    if (reponse)
        reponse->clear();
    return ResultatMedia::AucunLecteur;
}

quint32 EnregistreurMedia::envoyer(const QString &commande, QString *reponse)
{
    commandes << commande;
    if (reponse)
        reponse->clear();
    const std::optional<CommandeMedia> c = analyserCommandeMedia(commande);
    if (!c)
        return ResultatMedia::ParametreManquant;
    if (c->verbe == QLatin1String("open")) {
        if (!QFileInfo(c->chemin).isFile())
            return ResultatMedia::FichierIntrouvable;
        ouverts << c->alias;
        positionMs = 0;
        return ResultatMedia::Ok;
    }
    if (!ouverts.contains(c->alias))
        return ResultatMedia::AppareilInconnu;
    const QString quoi = c->mots.value(0).toLower();
    if (c->verbe == QLatin1String("close")) {
        ouverts.removeAll(c->alias);
    } else if (c->verbe == QLatin1String("status")) {
        if (quoi == QLatin1String("length") && reponse)
            *reponse = QString::number(dureeMs);
        else if (quoi == QLatin1String("position") && reponse)
            *reponse = QString::number(positionMs);
    } else if (c->verbe == QLatin1String("where")) {
        if (reponse)
            *reponse = QStringLiteral("0 0 %1 %2").arg(largeur).arg(hauteur);
    } else if (c->verbe != QLatin1String("play") && c->verbe != QLatin1String("stop") &&
               c->verbe != QLatin1String("put") && c->verbe != QLatin1String("set")) {
        return ResultatMedia::CommandeInconnue;
    }
    return ResultatMedia::Ok;
}

} // namespace Movendi::Platform
