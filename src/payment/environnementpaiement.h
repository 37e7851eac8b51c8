#pragma once

#include <QString>

namespace Movendi::Payment {

// What the terminal link needs from the program around it, given through small interfaces so
// that it stands on its own: start-up gives its own, tests and tools theirs.

/// Where the terminal is, as the configuration says.
class ConfigurationTerminal
{
public:
    virtual ~ConfigurationTerminal() = default;
    /// The terminal's port number ("PortCom", "PortTPE").
    virtual int portTerminal() const = 0;
    /// The profile file that names each port's device and says whether the kiosk may set its
    /// clock from the terminal's.
    virtual QString fichierConfiguration() const = 0;
};

/// Where the terminal link writes what went wrong (context, message), as the error journal
/// takes it. Never raises.
class JournalPaiement
{
public:
    virtual ~JournalPaiement() = default;
    virtual void journaliser(const QString &contexte, const QString &message) = 0;
};

} // namespace Movendi::Payment
