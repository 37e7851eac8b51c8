#pragma once

#include <QString>

#include <optional>

namespace Movendi::Store {

class StoreDatabase;

// What the kiosk keeps of its own state in the store (table EtatKiosque, one value per key),
// so that it survives a restart and goes with a backup.
std::optional<QString> lireEtatKiosque(StoreDatabase &base, const QString &cle);
// Throws ErreurExecution when the store refuses it.
void ecrireEtatKiosque(StoreDatabase &base, const QString &cle, const QString &valeur);

// A durable write that proves the store takes writes now: the moment of the check. Throws
// ErreurExecution with the store's reason.
void verifierEcriture(StoreDatabase &base);

inline constexpr const char *CleDernierJourTelecollecte = "DernierJourTelecollecte";
inline constexpr const char *CleVerificationEcriture = "VerificationEcriture";

} // namespace Movendi::Store
