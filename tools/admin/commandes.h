#pragma once

#include <QStringList>

class QTextStream;

namespace Movendi::Admin {

// The exit statuses every command gives, for scripts.
inline constexpr int Reussite = 0;
inline constexpr int Echec = 1;        // the operation failed, or the check found a problem
inline constexpr int ErreurUsage = 64; // bad arguments (sysexits' EX_USAGE)

// One command of the staff tool: its name, its synopsis and one-line summary for the tool's usage
// text, its --help text (French), and what runs it on the arguments that follow its name.
struct Commande
{
    const char *nom;
    const char *synopsis; // what follows "movendi-admin "
    const char *resume;
    const char *aide; // what it does, its options and its exit statuses
    int (*executer)(const QStringList &arguments, QTextStream &out, QTextStream &err);
};

// The staff tool on its arguments (those after the program name): "--help" alone, or no
// argument, prints the usage listing every command; "COMMANDE --help" prints that command's help
// (status 0); a usage error of a command is followed by its synopsis on err. Returns the exit
// status.
int executerCommande(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace Movendi::Admin
