#pragma once

#include "commandes.h"

#include <QString>

class QTextStream;

namespace Movendi::Admin {

// The technician's mail check: the home screen's test mail sent with the mail settings of the
// application folder, each reply of the dialogue printed as it comes. Ends within a few seconds
// per recipient whatever the server does. Returns the exit code: 0 when every mail went out.
int verifierEmail(const QString &dossier, QTextStream &out, QTextStream &err);

// movendi-admin email DIR test
extern const Commande CommandeEmail;

} // namespace Movendi::Admin
