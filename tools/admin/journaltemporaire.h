#pragma once

#include <QString>
#include <QTemporaryDir>

class QTextStream;

namespace Movendi::Admin {

// A journal of its own for a staff check, so that what the kiosk's routines would journal is
// shown to the technician and the kiosk's journal stays untouched. Points the journal there
// while it lives.
class JournalTemporaire
{
public:
    JournalTemporaire();
    ~JournalTemporaire();
    bool ouvert() const { return m_ouvert; }
    QString erreur() const { return m_erreur; }
    // Each entry as "journal: CONTEXT: TEXT", control characters shown as dots.
    void imprimer(QTextStream &out) const;

private:
    QTemporaryDir m_dossier;
    QString m_cheminPrecedent;
    QString m_erreur;
    bool m_ouvert = false;
};

} // namespace Movendi::Admin
