#pragma once

#include <QString>

#include <sys/types.h>

#include <vector>

namespace Movendi::Machine {

// Whom the loader trusts with the mechanism library. The kiosk's own account must not be able to
// swap the code that drives the drum, so by default only root may change the file or any folder
// above it. Demos and tests, which lay out folders as an ordinary user, say so explicitly.
enum class ControleProvenance {
    DossierRoot,
    Aucun,
};

// MOVENDI_AUTOMATE_HORS_ROOT=1 in the environment turns the check off; the package's units never
// set it.
ControleProvenance controleDemande();

// Where a library file really is (symbolic links resolved), and why it may not be trusted.
struct ProvenanceBibliotheque
{
    QString chemin; // the resolved path, the one to open; empty when the file cannot be found
    QString refus;  // empty when only trusted accounts can change the file and its folders
    bool sure() const { return refus.isEmpty(); }
};

// Trusted: the file and every folder up to "/" belong to one of `proprietaires` and nobody else
// may write them (a sticky folder, such as /tmp, may be writable by others: they cannot rename
// an entry they do not own).
ProvenanceBibliotheque examinerProvenance(const QString &chemin,
                                          const std::vector<uid_t> &proprietaires = {0});

} // namespace Movendi::Machine
