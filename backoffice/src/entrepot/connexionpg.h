#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <map>
#include <memory>
#include <stdexcept>

namespace Movendi::Backoffice {

// A failure of the database, with the server's reason.
class ErreurBase : public std::runtime_error
{
public:
    explicit ErreurBase(const QString &raison)
        : std::runtime_error(raison.toStdString()), m_raison(raison)
    {
    }
    QString raison() const { return m_raison; }

private:
    QString m_raison;
};

// One connection to the fleet's PostgreSQL database (Qt SQL's QPSQL driver), from a libpq
// connection string; opened on construction, closed on destruction. Each statement's values go
// through bound parameters. Opening waits at most DelaiConnexionS and a statement at most
// DelaiRequeteS unless the string says otherwise. A link the server dropped (a restart) is opened
// again once, outside a transaction, when a statement or a transaction finds it gone. Every failure
// throws ErreurBase.
class ConnexionPg
{
public:
    explicit ConnexionPg(const QString &chaine);
    ~ConnexionPg();
    ConnexionPg(const ConnexionPg &) = delete;
    ConnexionPg &operator=(const ConnexionPg &) = delete;

    QSqlQuery executer(const QString &sql, const QVariantList &parametres = {});
    // A write: the rows it changed. Prepared once per connection and kept.
    int modifier(const QString &sql, const QVariantList &parametres = {});

    // Runs `f` in one transaction: committed when it returns, rolled back when it throws.
    // Inside another, a savepoint: only its own work is undone, the outer one goes on.
    template <typename F> void enTransaction(F &&f)
    {
        debuter();
        try {
            f();
            valider();
        } catch (...) {
            annuler();
            throw;
        }
    }

    static constexpr int DelaiConnexionS = 10;
    // The longest a statement may take, lock waits included, and the longest data sent may stay
    // unacknowledged by a server gone away.
    static constexpr int DelaiRequeteS = 30;

private:
    QSqlQuery executerUneFois(const QString &sql, const QVariantList &parametres);
    template <typename F> auto avecReprise(F &&f) -> decltype(f());
    static bool connexionPerdue(QSqlDatabase &db);
    // Opens the dropped link again; throws ErreurBase when the server does not answer.
    void rouvrir(QSqlDatabase &db);
    void debuter();
    void valider();
    void annuler();

    QString m_nom;
    bool m_enTransaction = false;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_preparees;
    int m_profondeur = 0; // savepoints inside the transaction
};

} // namespace Movendi::Backoffice
