#include "machine/provenancebibliotheque.h"

#include <QFile>

#include <pwd.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace Movendi::Machine {

namespace {

QString compte(uid_t uid)
{
    const passwd *p = ::getpwuid(uid);
    return p ? QStringLiteral("%1 (%2)").arg(uid).arg(QString::fromLocal8Bit(p->pw_name))
             : QString::number(uid);
}

// Why `chemin` (a resolved path) is not trusted, or an empty text.
QString refusDe(const QByteArray &chemin, bool fichier, const std::vector<uid_t> &proprietaires)
{
    const QString nom = QFile::decodeName(chemin);
    struct stat st
    {
    };
    if (::lstat(chemin.constData(), &st) != 0)
        return QStringLiteral("%1 illisible").arg(nom);
    if (fichier ? !S_ISREG(st.st_mode) : !S_ISDIR(st.st_mode))
        return QStringLiteral("%1 n'est pas un %2")
            .arg(nom, fichier ? QStringLiteral("fichier") : QStringLiteral("dossier"));
    if (std::find(proprietaires.begin(), proprietaires.end(), st.st_uid) == proprietaires.end())
        return QStringLiteral("%1 appartient à l'utilisateur %2, pas à root")
            .arg(nom, compte(st.st_uid));
    const bool collant = !fichier && (st.st_mode & S_ISVTX);
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !collant)
        return QStringLiteral("%1 modifiable par d'autres que son propriétaire (droits %2)")
            .arg(nom)
            .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

} // namespace

ControleProvenance controleDemande()
{
    return qgetenv("MOVENDI_AUTOMATE_HORS_ROOT") == "1" ? ControleProvenance::Aucun
                                                        : ControleProvenance::DossierRoot;
}

ProvenanceBibliotheque examinerProvenance(const QString &chemin,
                                          const std::vector<uid_t> &proprietaires)
{
    char resolu[PATH_MAX];
    if (!::realpath(QFile::encodeName(chemin).constData(), resolu))
        return {{}, QStringLiteral("%1 introuvable").arg(chemin)};
    QByteArray courant(resolu);
    ProvenanceBibliotheque p{QFile::decodeName(courant), {}};
    // The resolved path has no link left: each step up is the real parent folder.
    for (bool fichier = true;; fichier = false) {
        p.refus = refusDe(courant, fichier, proprietaires);
        if (!p.refus.isEmpty() || courant == "/")
            return p;
        const qsizetype barre = courant.lastIndexOf('/');
        courant.truncate(barre > 0 ? barre : 1);
    }
}

} // namespace Movendi::Machine
