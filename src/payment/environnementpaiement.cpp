#include "payment/environnementpaiement.h"

namespace Movendi::Payment {

namespace {

class ConfigurationParDefaut final : public ConfigurationTerminal
{
public:
    int portTerminal() const override { return 1; }
    QString fichierConfiguration() const override { return {}; }
};

ConfigurationParDefaut configurationParDefaut;
ConfigurationTerminal *configurationInstallee = nullptr;
JournalPaiement *journalInstalle = nullptr;

} // namespace

void installerConfigurationTerminal(ConfigurationTerminal *configuration)
{
    configurationInstallee = configuration;
}

void installerJournalPaiement(JournalPaiement *journal)
{
    journalInstalle = journal;
}

const ConfigurationTerminal &configurationTerminal()
{
    return configurationInstallee ? *configurationInstallee : configurationParDefaut;
}

void journaliser(const QString &contexte, const QString &message)
{
    if (journalInstalle)
        journalInstalle->journaliser(contexte, message);
}

} // namespace Movendi::Payment
