#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace Movendi::Admin {

// Staff checks of the kiosk's own devices, on its folder and configuration, while the kiosk is
// stopped (the devices are its own while it runs). Each returns 0 when the device answered, 1
// when it did not, 64 on a usage error, and says what it did in French.

// `imprimante DIR [--port N]`: prints a test ticket, laid out as the kiosk's, on port N or on
// the first port that opens, searched as the kiosk does at start-up.
int essayerImprimante(const QString &dossier, const QStringList &arguments, QTextStream &out,
                      QTextStream &err);

// `lcd DIR [LIGNE1 [LIGNE2]]`: writes two lines on the LCD ("Machine"/"LCD", else the
// simulated one mirrored to lcd.txt in the exchange folder).
int essayerLcd(const QString &dossier, const QStringList &arguments, QTextStream &out,
               QTextStream &err);

// `automate DIR [--emplacement N] [--fermer N]`: loads the machine-control library, initialises
// it and reads the door; with --emplacement the drum brings location N and its door opens, with
// --fermer that door closes.
int essayerAutomate(const QString &dossier, const QStringList &arguments, QTextStream &out,
                    QTextStream &err);

} // namespace Movendi::Admin
