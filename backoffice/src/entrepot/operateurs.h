#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace Movendi::Backoffice {

class ConnexionPg;

// A password as kept: PBKDF2-HMAC-SHA256 over a random salt of its own, slow on purpose.
struct MotDePasseHache
{
    QByteArray sel;
    QByteArray hachage;
    int iterations = 0;
};

inline constexpr int IterationsMotDePasse = 200000;
inline constexpr int LongueurMinMotDePasse = 10;

MotDePasseHache hacherMotDePasse(const QString &motDePasse, int iterations = IterationsMotDePasse);
// Compared in full whatever differs first.
bool motDePasseCorrect(const QString &motDePasse, const MotDePasseHache &garde);

// Creates the operator or changes their password. Throws ErreurBase.
void definirOperateur(ConnexionPg &base, const QString &nom, const QString &motDePasse,
                      const QDateTime &maintenant);
// Whether the operator exists and the password is theirs. Throws ErreurBase.
bool authentifierOperateur(ConnexionPg &base, const QString &nom, const QString &motDePasse);

} // namespace Movendi::Backoffice
