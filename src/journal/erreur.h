#pragma once

#include <QString>
#include <exception>

namespace Movendi::Journal {

// A run-time failure with a number and a description, as failure handlers report them. Thrown
// inside a subsystem and caught by the routine that owns the failure handling; never thrown
// across subsystems, which answer with result codes.
class ErreurExecution : public std::exception
{
public:
    ErreurExecution(int numero, QString description);

    int numero() const { return m_numero; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    int m_numero;
    QString m_description;
    QByteArray m_what;
};

// Failure numbers of the run-time, with their usual French descriptions.
namespace Erreurs {
inline constexpr int AppelIncorrect = 5;
inline constexpr int Depassement = 6;
inline constexpr int TypeIncompatible = 13;
inline constexpr int ErreurInterne = 51;
inline constexpr int FichierIntrouvable = 53;
inline constexpr int AccesFichier = 75;
inline constexpr int BaseDeDonnees = 3343;

ErreurExecution depassement();
ErreurExecution typeIncompatible(const QString &valeur);
ErreurExecution accesFichier(const QString &chemin, const QString &raison);
} // namespace Erreurs

} // namespace Movendi::Journal
