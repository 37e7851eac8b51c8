#pragma once

#include <QDate>
#include <QMap>
#include <QStringList>

#include <optional>

class QTextStream;

namespace Movendi::Admin {

// The arguments of one command: values in their order (the application folder first) and
// options "--nom VALEUR" or "--nom" alone, in any order among them.
class ArgumentsCommande
{
public:
    // avecValeur: the options followed by a value; seules: the options alone. Any other
    // argument starting with "--", an option given twice or without its value, and a count of
    // values outside [minimum, maximum] make the arguments invalid.
    ArgumentsCommande(const QStringList &arguments, const QStringList &avecValeur,
                      const QStringList &seules, qsizetype minimum, qsizetype maximum);

    // True when valid; otherwise prints "erreur: ..." on err.
    bool valides(QTextStream &err) const;
    // The first value as an absolute path.
    QString dossier() const;
    QString valeur(qsizetype i) const { return m_valeurs.value(i); }
    // The option's value, null when the option is absent.
    QString option(const QString &nom) const { return m_options.value(nom); }
    bool presente(const QString &nom) const { return m_options.contains(nom); }

private:
    QStringList m_valeurs;
    QMap<QString, QString> m_options;
    QString m_erreur;
};

// A day written JJ/MM/AAAA; nothing for any other text.
std::optional<QDate> lireJour(const QString &texte);
inline constexpr const char *FormatJour = "dd/MM/yyyy";

// Points the shared state at the application folder as start-up does: the folder, its
// RURUDIZ.ini (in any letter case) and the store name it configures, so that StoreDatabase()
// opens the folder's store. False, after "erreur: ..." on err, when the folder has no
// configuration file.
bool pointerDossier(const QString &dossier, QTextStream &err);

} // namespace Movendi::Admin
