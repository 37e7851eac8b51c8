#pragma once

#include <functional>

#include "money/monnaie.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

class QSqlQuery;

struct sqlite3;

namespace Movendi::Store {

// Rows read from the store, with their column names in the order the statement gives them.
// One value of a row as SQLite holds it, for readers that write rows out as text: valid until
// the next row.
struct ValeurBrute
{
    enum class Genre { Nul, Entier, Reel, Texte } genre = Genre::Nul;
    QByteArrayView utf8; // Entier and Texte: the value as text
    double reel = 0;     // Reel
};

struct ResultatRequete
{
    QStringList colonnes;
    QList<QVariantList> lignes;

    bool estVide() const { return lignes.isEmpty(); }
    // The value of a named column (case-insensitive), null when the column is absent.
    QVariant valeur(qsizetype ligne, const QString &colonne) const;
};

// One connection to the store database, for one routine or one screen: opened on construction,
// closed on destruction. SQLite in WAL mode with synchronous FULL and foreign keys on; every
// value goes through bound parameters; another connection's lock is waited for up to
// DelaiVerrouMs on the installed clock, the watchdog fed. A failure throws ErreurExecution (3343
// for a store that cannot be opened, 3146 for a statement that fails).
class StoreDatabase
{
public:
    // The configured store: engine "Base de donnée"/"Moteur" (only "SQLite"), file
    // application folder + "/" + NomBase + ".db". The file must exist: the kiosk creates none.
    StoreDatabase();
    // A given SQLite file, for the staff tool (create = true makes a new file).
    explicit StoreDatabase(const QString &fichier, bool creer = false);
    ~StoreDatabase();
    StoreDatabase(const StoreDatabase &) = delete;
    StoreDatabase &operator=(const StoreDatabase &) = delete;

    QString fichier() const { return m_fichier; }

    ResultatRequete lire(const QString &sql, const QVariantList &parametres = {});
    // The rows of a statement without parameters as SQLite's own text, one at a time, with no
    // conversion on the way: for exports of many rows. surColonnes may be empty.
    void parcourirBrut(const QString &sql,
                       const std::function<void(const QStringList &)> &surColonnes,
                       const std::function<void(const QList<ValeurBrute> &)> &surLigne);
    // Returns the number of rows changed.
    int executer(const QString &sql, const QVariantList &parametres = {});
    // Returns the key the database gave the new row.
    qint64 inserer(const QString &sql, const QVariantList &parametres = {});
    // Runs a whole script (schema files); no parameters.
    void executerScript(const QString &script);

    void debuterTransaction();
    void valider();
    void annuler();

    // Sales in the last `jours` days before `maintenant`: rows when there was at least one.
    ResultatRequete ControlVente(double jours, const QDateTime &maintenant);
    // Takes the argument from a command text such as "EXEC ControlVente 1.008".
    ResultatRequete ControlVente(const QString &commande, const QDateTime &maintenant);
    // Prepares the phone sales of the period ("dd/MM/yyyy", "dd/MM/yyyy HH:mm:ss") in
    // ExportCSVvente.
    void RapportCVSDetailVente(const QString &debut, const QString &fin);
    // The top-up sales of the period.
    ResultatRequete RapportCVSDetailRecharge(const QString &debut, const QString &fin);

    // Currency is kept as an integer count of 1/10000 euro; dates as ISO text.
    static QVariant versBase(Money::Monnaie montant);
    static Money::Monnaie monnaie(const QVariant &valeur);
    static QVariant versBase(const QDateTime &moment);
    static QVariant jourVersBase(const QDate &jour);
    static QDateTime momentDepuisBase(const QVariant &valeur);

    static constexpr int ErreurOuverture = 3343;
    static constexpr int ErreurRequete = 3146;
    // How long a statement waits for another connection's write lock before it fails.
    static constexpr qint64 DelaiVerrouMs = 5000;

private:
    void ouvrir(const QString &fichier);
    sqlite3 *poignee() const;
    // The two bounds of a report period, as stored; a period that does not parse fails.
    QVariantList periode(const QString &procedure, const QString &debut, const QString &fin) const;
    QSqlQuery lancer(const QString &sql, const QVariantList &parametres);
    [[noreturn]] void echec(int numero, const QString &quoi, const QString &detail) const;

    QString m_connexion;
    QString m_fichier;
    qint64 m_debutAttente = 0; // of the current wait for a lock
};

// Runs `ecritures` in one transaction of `base`: committed when it returns, rolled back when it
// throws ErreurExecution, which goes on to the caller.
template <typename F> void enUneTransaction(StoreDatabase &base, F &&ecritures)
{
    base.debuterTransaction();
    try {
        ecritures();
        base.valider();
    } catch (...) {
        try {
            base.annuler();
        } catch (...) {
            // The transaction is gone already.
        }
        throw;
    }
}

// "dd/MM/yyyy" or "dd/MM/yyyy HH:mm:ss" as the reports pass them; invalid when neither.
QDateTime dateRapport(const QString &texte);

} // namespace Movendi::Store
