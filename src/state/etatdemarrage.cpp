#include "state/etatdemarrage.h"

#include "state/disponibilite.h"

#include "machine/automate.h"
#include "machine/grafcetlibrary.h"
#include "platform/portoutput.h"
#include "platform/seams.h"

#include <QLockFile>

namespace Movendi::State {

EtatDemarrage::EtatDemarrage() = default;
EtatDemarrage::~EtatDemarrage() = default;

namespace {
std::unique_ptr<EtatDemarrage> &instance()
{
    static std::unique_ptr<EtatDemarrage> state = std::make_unique<EtatDemarrage>();
    return state;
}
} // namespace

EtatDemarrage &etat()
{
    return *instance();
}

void reinitialiserEtat()
{
    const QString folder = etat().dossierApplication;
    if (etat().bibliothequeAutomate)
        Machine::installAutomate(nullptr);
    if (etat().sortieLCD)
        Platform::installPortOutput(nullptr);
    instance() = std::make_unique<EtatDemarrage>();
    etat().dossierApplication = folder;
    disponibilite().reinitialiser();
}

} // namespace Movendi::State
