#include "entrepot/connexionpg.h"

#include <QAtomicInteger>
#include <QRegularExpression>
#include <QSqlError>

#include <memory>

namespace Movendi::Backoffice {

namespace {

QAtomicInteger<quint64> g_connexions;

// "key=value key='value with spaces'" as libpq reads it.
QList<std::pair<QString, QString>> lireChaine(const QString &chaine)
{
    QList<std::pair<QString, QString>> paires;
    static const QRegularExpression element(
        QStringLiteral("(\\w+)\\s*=\\s*(?:'((?:[^'\\\\]|\\\\.)*)'|(\\S*))"));
    auto it = element.globalMatch(chaine);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QString valeur = m.captured(2).isNull() ? m.captured(3) : m.captured(2);
        valeur.replace(QStringLiteral("\\'"), QStringLiteral("'"));
        valeur.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        paires.append({m.captured(1), valeur});
    }
    return paires;
}

// A value written back as libpq reads it: quoted when it holds a space, a quote or nothing.
QString citee(QString valeur)
{
    static const QRegularExpression speciaux(QStringLiteral("[\\s'\\\\]"));
    if (!valeur.isEmpty() && !valeur.contains(speciaux))
        return valeur;
    valeur.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    valeur.replace(QStringLiteral("'"), QStringLiteral("\\'"));
    return QLatin1Char('\'') + valeur + QLatin1Char('\'');
}

} // namespace

ConnexionPg::ConnexionPg(const QString &chaine)
    : m_nom(QStringLiteral("movendi-flotte-%1").arg(++g_connexions))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_nom);
    QStringList options;
    QStringList donnees;
    for (const auto &[cle, valeur] : lireChaine(chaine)) {
        if (cle == QLatin1String("host") || cle == QLatin1String("hostaddr"))
            db.setHostName(valeur);
        else if (cle == QLatin1String("port"))
            db.setPort(valeur.toInt());
        else if (cle == QLatin1String("dbname"))
            db.setDatabaseName(valeur);
        else if (cle == QLatin1String("user"))
            db.setUserName(valeur);
        else if (cle == QLatin1String("password"))
            db.setPassword(valeur);
        else {
            donnees << cle;
            options << cle + QLatin1Char('=') + citee(valeur);
        }
    }
    // Every wait bounded: opening; a statement the server is slow with or that waits on a lock;
    // a server gone mid-statement (keepalives, then unacknowledged data). The string may say
    // otherwise for each.
    const std::pair<QString, QString> bornes[] = {
        {QStringLiteral("connect_timeout"), QString::number(DelaiConnexionS)},
        {QStringLiteral("options"),
         citee(QStringLiteral("-c statement_timeout=%1s").arg(DelaiRequeteS))},
        {QStringLiteral("keepalives_idle"), QStringLiteral("10")},
        {QStringLiteral("keepalives_interval"), QStringLiteral("5")},
        {QStringLiteral("keepalives_count"), QStringLiteral("3")},
        {QStringLiteral("tcp_user_timeout"), QString::number(DelaiRequeteS * 1000)},
    };
    for (const auto &[cle, valeur] : bornes) {
        if (!donnees.contains(cle))
            options << cle + QLatin1Char('=') + valeur;
    }
    db.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db.open()) {
        const QString raison = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_nom);
        throw ErreurBase(QStringLiteral("base de la flotte inaccessible: ") + raison);
    }
}

ConnexionPg::~ConnexionPg()
{
    m_preparees.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_nom, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_nom);
}

template <typename F> auto ConnexionPg::avecReprise(F &&f) -> decltype(f())
{
    try {
        return f();
    } catch (const ErreurBase &) {
        // A server restarted since: the connection is opened again, once, outside a
        // transaction (inside one, what it did is gone with it).
        QSqlDatabase db = QSqlDatabase::database(m_nom, false);
        if (m_enTransaction || !connexionPerdue(db))
            throw;
        rouvrir(db);
        return f();
    }
}

QSqlQuery ConnexionPg::executer(const QString &sql, const QVariantList &parametres)
{
    return avecReprise([&] { return executerUneFois(sql, parametres); });
}

int ConnexionPg::modifier(const QString &sql, const QVariantList &parametres)
{
    return avecReprise([&] {
        // Writes come again and again with other values: prepared once on this connection.
        auto it = m_preparees.find(sql);
        if (it == m_preparees.end()) {
            auto q = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_nom, false));
            if (!q->prepare(sql))
                throw ErreurBase(q->lastError().text() + QStringLiteral(" [") + sql.left(80) +
                                 QLatin1Char(']'));
            it = m_preparees.emplace(sql, std::move(q)).first;
        }
        QSqlQuery &q = *it->second;
        for (int i = 0; i < parametres.size(); ++i)
            q.bindValue(i, parametres.at(i));
        if (!q.exec())
            throw ErreurBase(q.lastError().text() + QStringLiteral(" [") + sql.left(80) +
                             QLatin1Char(']'));
        return q.numRowsAffected();
    });
}

QSqlQuery ConnexionPg::executerUneFois(const QString &sql, const QVariantList &parametres)
{
    QSqlQuery q(QSqlDatabase::database(m_nom, false));
    // Without values, as it is: the server cannot prepare a schema's statements.
    if (parametres.isEmpty()) {
        if (!q.exec(sql))
            throw ErreurBase(q.lastError().text() + QStringLiteral(" [") + sql.left(80) +
                             QLatin1Char(']'));
        return q;
    }
    if (!q.prepare(sql))
        throw ErreurBase(q.lastError().text() + QStringLiteral(" [") + sql.left(80) +
                         QLatin1Char(']'));
    for (int i = 0; i < parametres.size(); ++i)
        q.bindValue(i, parametres.at(i));
    if (!q.exec())
        throw ErreurBase(q.lastError().text() + QStringLiteral(" [") + sql.left(80) +
                         QLatin1Char(']'));
    return q;
}

void ConnexionPg::debuter()
{
    if (m_enTransaction) {
        executerUneFois(QStringLiteral("SAVEPOINT p%1").arg(++m_profondeur), {});
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(m_nom, false);
    if (!db.transaction()) {
        // A server restarted since: opened again, once.
        if (!connexionPerdue(db))
            throw ErreurBase(QStringLiteral("transaction refusée: ") + db.lastError().text());
        rouvrir(db);
        if (!db.transaction())
            throw ErreurBase(QStringLiteral("transaction refusée: ") + db.lastError().text());
    }
    m_enTransaction = true;
}

void ConnexionPg::valider()
{
    if (m_profondeur > 0) {
        executerUneFois(QStringLiteral("RELEASE SAVEPOINT p%1").arg(m_profondeur--), {});
        return;
    }
    m_enTransaction = false;
    QSqlDatabase db = QSqlDatabase::database(m_nom, false);
    if (!db.commit())
        throw ErreurBase(QStringLiteral("validation refusée: ") + db.lastError().text());
}

void ConnexionPg::annuler()
{
    if (m_profondeur > 0) {
        try {
            const int p = m_profondeur--;
            executerUneFois(QStringLiteral("ROLLBACK TO SAVEPOINT p%1").arg(p), {});
            executerUneFois(QStringLiteral("RELEASE SAVEPOINT p%1").arg(p), {});
        } catch (const ErreurBase &) {
            // The link is gone: the outer transaction fails with it.
        }
        return;
    }
    m_enTransaction = false;
    QSqlDatabase::database(m_nom, false).rollback();
}

void ConnexionPg::rouvrir(QSqlDatabase &db)
{
    // Statements prepared on the old link are gone with it.
    m_preparees.clear();
    db.close();
    if (!db.open())
        throw ErreurBase(QStringLiteral("base de la flotte inaccessible: ") +
                         db.lastError().text());
}

bool ConnexionPg::connexionPerdue(QSqlDatabase &db)
{
    // A statement that fails on a sound link leaves it able to answer the simplest one.
    return !db.isOpen() || !QSqlQuery(db).exec(QStringLiteral("SELECT 1"));
}

} // namespace Movendi::Backoffice
