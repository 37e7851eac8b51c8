#include "journaltemporaire.h"

#include "commandejournal.h"
#include "dossierapplication.h"

#include "state/etatdemarrage.h"

#include <QTextStream>

namespace Movendi::Admin {

JournalTemporaire::JournalTemporaire() : m_cheminPrecedent(State::etat().CheminJournal)
{
    if (!m_dossier.isValid()) {
        m_erreur = m_dossier.errorString();
        return;
    }
    m_ouvert = creerJournal(m_dossier.filePath(QStringLiteral("MAINTEN.db")), &m_erreur);
    if (m_ouvert)
        State::etat().CheminJournal = m_dossier.path();
}

JournalTemporaire::~JournalTemporaire()
{
    State::etat().CheminJournal = m_cheminPrecedent;
}

void JournalTemporaire::imprimer(QTextStream &out) const
{
    QList<LigneJournal> lignes;
    qsizetype nombre = 0;
    QString erreur;
    lireLignesJournal(m_dossier.filePath(QStringLiteral("MAINTEN.db")), {}, &lignes, &nombre,
                      &erreur);
    for (const LigneJournal &l : lignes)
        out << "journal: " << l.contexte << ": " << sansControles(l.erreur) << '\n';
}

} // namespace Movendi::Admin
