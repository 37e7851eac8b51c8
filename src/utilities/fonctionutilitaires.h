#pragma once

#include <QString>

namespace Movendi::Utilities {

// Module FonctionUtilitaires: file and folder tests, text helpers and the timed waits.

// The path with "/" appended unless it already ends with one ("" gives "/").
QString AjouterAntislash(const QString &dossier);

// True when a plain file of that name, in any letter case, is in the folder.
bool FichierExiste(const QString &dossier, const QString &nomFichier);

// True when a file can be created and deleted in the folder.
bool DossierAccessible(const QString &dossier);

// The application folder, trimmed, with a trailing "/" (letter case kept).
QString DossierApplication();

// The exchange folder shared with the mechanism side (door state, fault report, backup): the
// one start-up found, else the configured one.
QString DossierEchange();

// The text without its space characters (code 32); other blanks stay.
QString SupprimerEspaces(const QString &texte);

// Returns after that many seconds without handling any event; sleeps, never spins.
void Attendre(double secondes);

// Waits that long while handling events; returns right after an event pass that found
// RetourAccueilEnCours true.
void AttendreInterruptible(double secondes);

inline constexpr int TrancheAttenteMs = 20;

} // namespace Movendi::Utilities
