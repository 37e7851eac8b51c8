#include "journal/erreur.h"

namespace Movendi::Journal {

ErreurExecution::ErreurExecution(int numero, QString description)
    : m_numero(numero), m_description(std::move(description)),
      m_what(QStringLiteral("%1 %2").arg(numero).arg(m_description).toUtf8())
{
}

namespace Erreurs {

ErreurExecution depassement()
{
    return {Depassement, QStringLiteral("Dépassement de capacité")};
}

ErreurExecution typeIncompatible(const QString &valeur)
{
    return {TypeIncompatible, QStringLiteral("Type incompatible (%1)").arg(valeur)};
}

ErreurExecution accesFichier(const QString &chemin, const QString &raison)
{
    return {AccesFichier,
            QStringLiteral("Erreur d'accès au chemin/fichier %1 (%2)").arg(chemin, raison)};
}

} // namespace Erreurs

} // namespace Movendi::Journal
