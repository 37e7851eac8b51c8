#include "startup/liaisonpaiement.h"

#include "journal/journal.h"
#include "state/etatdemarrage.h"

namespace Movendi::Startup {

namespace {

class ConfigurationDemarrage final : public Payment::ConfigurationTerminal
{
public:
    int portTerminal() const override { return State::etat().PortTPE; }
    QString fichierConfiguration() const override { return State::etat().CheminIni; }
};

class JournalDemarrage final : public Payment::JournalPaiement
{
public:
    void journaliser(const QString &contexte, const QString &message) override
    {
        Journal::JournaliserErreur(contexte, message);
    }
};

} // namespace

Payment::LiaisonTerminal::Environnement environnementTerminal()
{
    static const ConfigurationDemarrage configuration;
    static JournalDemarrage journal;
    Payment::LiaisonTerminal::Environnement e;
    e.configuration = &configuration;
    e.journal = &journal;
    return e;
}

} // namespace Movendi::Startup
