#pragma once

#include "commandes.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace Movendi::Admin {

struct LigneJournal
{
    QString date; // "yyyy-MM-dd HH:mm:ss", as the kiosk writes it
    QString contexte;
    QString erreur;
};

struct FiltreJournal
{
    QString contexte; // empty: every context; else that one, compared without regard to case
    QDate depuis;     // the first day kept; invalid: no bound
    QDate jusquAu;    // the last day kept; invalid: no bound
    int nombre = 0;   // the latest rows only; 0: every row
};

// The rows of the journal file that pass the filter, oldest first (in the order they were
// written), and how many passed before the count cut them. The file is opened read-only: the
// kiosk's journal is never changed. False with the reason when the file cannot be read.
bool lireLignesJournal(const QString &chemin, const FiltreJournal &filtre,
                       QList<LigneJournal> *lignes, qsizetype *correspondantes, QString *erreur);

// The rows of the folder's journal MAINTEN.db as "date | contexte | erreur" lines, oldest first,
// control characters shown as dots, and how many rows passed the filter before the count cut
// them; empty with the reason when there is no journal or it cannot be read.
QStringList lireJournal(const QString &dossier, QString *erreur, const FiltreJournal &filtre = {},
                        qsizetype *correspondantes = nullptr);

// The text with every control character shown as a dot, so that one row stays one line.
QString sansControles(QString texte);

// movendi-admin journal DIR [--contexte TEXTE] [--depuis JJ/MM/AAAA] [--jusqu-au JJ/MM/AAAA]
// [--nombre N]
extern const Commande CommandeJournal;
inline constexpr int LignesJournalParDefaut = 50;

} // namespace Movendi::Admin
