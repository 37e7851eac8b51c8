#include "entrepot/operateurs.h"

#include "entrepot/connexionpg.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QSqlQuery>

namespace Movendi::Backoffice {

namespace {

constexpr int LongueurSel = 16;
constexpr int LongueurHachage = 32;

QByteArray deriver(const QString &motDePasse, const QByteArray &sel, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, motDePasse.toUtf8(), sel,
                                              iterations, LongueurHachage);
}

} // namespace

MotDePasseHache hacherMotDePasse(const QString &motDePasse, int iterations)
{
    QByteArray sel(LongueurSel, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(sel.data()),
                                          LongueurSel / int(sizeof(quint32)));
    return {sel, deriver(motDePasse, sel, iterations), iterations};
}

bool motDePasseCorrect(const QString &motDePasse, const MotDePasseHache &garde)
{
    if (garde.iterations <= 0 || garde.hachage.size() != LongueurHachage)
        return false;
    const QByteArray calcule = deriver(motDePasse, garde.sel, garde.iterations);
    unsigned char difference = 0;
    for (qsizetype i = 0; i < calcule.size(); ++i)
        difference |= static_cast<unsigned char>(calcule.at(i) ^ garde.hachage.at(i));
    return difference == 0;
}

void definirOperateur(ConnexionPg &base, const QString &nom, const QString &motDePasse,
                      const QDateTime &maintenant)
{
    if (nom.trimmed().isEmpty() || nom.size() > 64)
        throw ErreurBase(QStringLiteral("nom d'opérateur vide ou trop long"));
    if (motDePasse.size() < LongueurMinMotDePasse)
        throw ErreurBase(
            QStringLiteral("mot de passe de moins de %1 caractères").arg(LongueurMinMotDePasse));
    const MotDePasseHache h = hacherMotDePasse(motDePasse);
    const QString quand = maintenant.toUTC().toString(Qt::ISODateWithMs);
    base.modifier(QStringLiteral("INSERT INTO operateurs (nom, sel, hachage, iterations, modifie) "
                                 "VALUES (?, ?, ?, ?, ?::timestamptz) ON CONFLICT (nom) DO UPDATE "
                                 "SET sel = EXCLUDED.sel, hachage = EXCLUDED.hachage, iterations = "
                                 "EXCLUDED.iterations, modifie = EXCLUDED.modifie"),
                  {nom, h.sel, h.hachage, h.iterations, quand});
}

bool authentifierOperateur(ConnexionPg &base, const QString &nom, const QString &motDePasse)
{
    QSqlQuery q = base.executer(
        QStringLiteral("SELECT sel, hachage, iterations FROM operateurs WHERE nom = ?"), {nom});
    if (!q.next()) {
        // As long as for a known name: the answer's time does not say which names exist.
        motDePasseCorrect(motDePasse, hacherMotDePasse(QString()));
        return false;
    }
    return motDePasseCorrect(
        motDePasse, {q.value(0).toByteArray(), q.value(1).toByteArray(), q.value(2).toInt()});
}

} // namespace Movendi::Backoffice
