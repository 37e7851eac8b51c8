#pragma once

#include <QString>
#include <QStringList>

namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Admin {

// Serial ports a laid-out demo folder maps to (absent) devices of its own "dev" folder.
inline constexpr int PortsSimules = 32;

// The value of a device path that staff still have to fill in, in a folder laid out for a real
// kiosk; the configuration check reports it as such.
inline constexpr const char *ValeurARenseigner = "A_RENSEIGNER";

// The drum: 36 columns by 6 levels, levels 1-2 for top-up vouchers, 3-6 for phones.
inline constexpr int ColonnesTambour = 36;
inline constexpr int EtagesTambour = 6;

enum class ContenuDossier {
    Demo,      // the demo shop: catalogue, pictures, delivery list, film, devices in the folder
    Production // a real kiosk: devices to fill in, clock setting on, no demo data
};

struct InitReport
{
    bool ok = true;
    QStringList lines; // what was created, kept or refused, one line each

    void fail(const QString &line)
    {
        ok = false;
        lines.append(line);
    }
};

// Lays out an application folder the kiosk starts on: RURUDIZ.ini with every start-up key,
// the language files, the error journal MAINTEN.db, the store, the exchange folder with
// porte.ini, and the machine-control library. For the demo: the store with its demo catalogue
// and the image folder, the delivery list ListeIMEI.xls and the attract film
// video/animation.avi. For a real kiosk: the production configuration (devices left to fill
// in, ReglerHorloge=OUI, the machine's host name as identity), a store with the schema and the
// drum's free locations only. What exists is kept as it is (an existing store only gets the
// tables and columns it lacks). The library: the demo gets a copy of bibliothequeAutomate; a
// real kiosk's folder links to it where it lies, once the loader's check accepts it (see
// Machine::examinerProvenance). A null bibliothequeAutomate keeps what the folder has.
InitReport initialiserDossier(const QString &dossier, const QString &bibliothequeAutomate,
                              ContenuDossier contenu = ContenuDossier::Demo);

// Creates the store from the schema with the demo catalogue; false with a reason if it cannot.
bool creerMagasin(const QString &chemin, const QString &dossierImages, QStringList *compteRendu,
                  QString *erreur);

// Creates the store of a real kiosk: the schema and the drum's free locations; false with a
// reason if it cannot.
bool creerMagasinVide(const QString &chemin, QStringList *compteRendu, QString *erreur);

// Writes the drum's locations, all free, into a store without any (inside the caller's
// transaction). Throws ErreurExecution.
void creerEmplacementsTambour(Store::StoreDatabase &base);

// Adds to an existing store the tables, views and columns of the schema it lacks, keeping every
// row; false with a reason if it cannot (nothing is then changed).
bool completerMagasin(const QString &chemin, QStringList *compteRendu, QString *erreur);

// Creates MAINTEN.db with its table Erreurs; false with a reason if it cannot.
bool creerJournal(const QString &chemin, QString *erreur);

// The tables and views the schema defines, in its order.
QStringList objetsDuSchema();

} // namespace Movendi::Admin
