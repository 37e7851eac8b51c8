#include "commandeconfig.h"

#include "argumentscommande.h"
#include "dossierapplication.h"

#include "config/badgespersonnel.h"
#include "config/clesconfiguration.h"
#include "machine/provenancebibliotheque.h"
#include "platform/filelookup.h"
#include "platform/profilefile.h"
#include "startup/demarrage.h"
#include "utilities/fonctionutilitaires.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QLocale>
#include <QRegularExpression>
#include <QTextStream>

#include <limits>

namespace Movendi::Admin {

namespace {

using Config::CleConfiguration;
using Platform::ProfileEntry;
using Genre = Config::GenreCle;

struct Verdict
{
    enum Etat { Bon, ARenseigner, Invalide, Inconnue, EnClair } etat = Bon;
    QString raison;
};

struct Ligne
{
    QString section;
    QString cle;
    QString valeur; // as shown
    QString defaut; // as shown; null: no default to show (unknown key)
    Verdict verdict;
};

class Verification
{
public:
    Verification(QString dossier, QString ini)
        : m_dossier(std::move(dossier)), m_ini(std::move(ini))
    {
    }
    bool lire(QTextStream &err);
    void verifier();
    int imprimer(QTextStream &out) const;

private:
    const ProfileEntry *trouver(const QString &section, const QString &cle) const;
    void ajouter(const CleConfiguration &d, const QString &cle, const QString &defaut);
    Verdict juger(const CleConfiguration &d, const ProfileEntry *entree,
                  const QString &defaut) const;
    QString peripherique(const QString &cle) const;
    // Flags the server key of a link that would go in clear over a network.
    void signalerEnClair(const QString &section, const QString &cleServeur, const QString &cleTls,
                         bool tls, const QString &conseil);
    QString valeur(const QString &section, const QString &cle) const;

    QString m_dossier;
    QString m_ini;
    QList<ProfileEntry> m_entrees;
    QList<const ProfileEntry *> m_connues;
    QList<Ligne> m_lignes;
    int m_portTpe = 1;
};

// What a device key drives, for staff filling it in.
QString Verification::peripherique(const QString &cle) const
{
    if (cle.compare(QLatin1String("LCD"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("afficheur LCD, par exemple /dev/parport0");
    if (cle.compare(QStringLiteral("Port%1").arg(m_portTpe), Qt::CaseInsensitive) == 0)
        return QStringLiteral("terminal de paiement, par exemple /dev/ttyS0");
    return QStringLiteral("imprimante de tickets s'il est le premier port présent à partir de 2");
}

bool Verification::lire(QTextStream &err)
{
    Platform::ProfileStatus statut = Platform::ProfileStatus::Absent;
    m_entrees = Platform::readProfileEntries(m_ini, &statut);
    if (statut == Platform::ProfileStatus::Unreadable) {
        err << "erreur: configuration illisible: " << m_ini << '\n';
        return false;
    }
    return true;
}

const ProfileEntry *Verification::trouver(const QString &section, const QString &cle) const
{
    for (const ProfileEntry &e : m_entrees) {
        if (!e.hidden && e.section.compare(section, Qt::CaseInsensitive) == 0 &&
            e.key.compare(cle, Qt::CaseInsensitive) == 0)
            return &e;
    }
    return nullptr;
}

void Verification::ajouter(const CleConfiguration &d, const QString &cle, const QString &defaut)
{
    const ProfileEntry *entree = trouver(d.section, cle);
    if (entree)
        m_connues.append(entree);
    Ligne l{d.section, cle, QString(), defaut.isNull() ? QStringLiteral("") : defaut,
            juger(d, entree, defaut)};
    if (l.verdict.etat == Verdict::ARenseigner)
        l.verdict.raison += QStringLiteral(" (%1)").arg(peripherique(cle));
    if (!entree)
        l.valeur = QStringLiteral("(absente)");
    else if (d.genre == Genre::MotDePasse)
        l.valeur = QStringLiteral("(défini)");
    else if (d.genre == Genre::Badges)
        l.valeur =
            QStringLiteral("(%1 badge(s))").arg(Config::lireBadges(entree->value).badges.size());
    else if (entree->value.isEmpty())
        l.valeur = QStringLiteral("(vide)");
    else
        l.valeur = entree->value;
    m_lignes.append(l);
}

Verdict Verification::juger(const CleConfiguration &d, const ProfileEntry *entree,
                            const QString &defaut) const
{
    const QString brute = entree ? entree->value.trimmed() : QString();
    const auto invalide = [](const QString &raison) { return Verdict{Verdict::Invalide, raison}; };
    if (entree && brute.compare(QLatin1String(ValeurARenseigner), Qt::CaseInsensitive) == 0) {
        return d.genre == Genre::Peripherique
                   ? Verdict{Verdict::ARenseigner, QStringLiteral("chemin du périphérique")}
                   : invalide(QStringLiteral("valeur à renseigner"));
    }
    // What the kiosk ends up with: keys read as text give "" for a present empty value, the
    // others fall back to their default.
    const bool videVautDefaut = d.genre != Genre::Texte && d.genre != Genre::Obligatoire &&
                                d.genre != Genre::OuiNon && d.genre != Genre::Moteur &&
                                d.genre != Genre::NomBase && d.genre != Genre::Adresse;
    const QString valeur = !entree || (brute.isEmpty() && videVautDefaut) ? defaut : brute;

    switch (d.genre) {
    case Genre::Texte:
    case Genre::MotDePasse:
        return {};
    case Genre::Badges: {
        const Config::ListeBadges badges = Config::lireBadges(valeur);
        if (!badges.erreurs.isEmpty())
            return invalide(badges.erreurs.join(QStringLiteral("; ")));
        return {};
    }
    case Genre::Obligatoire:
        return valeur.isEmpty() ? invalide(QStringLiteral("valeur vide")) : Verdict{};
    case Genre::OuiNon:
        if (valeur == QLatin1String("OUI") || valeur == QLatin1String("NON"))
            return {};
        return invalide(QStringLiteral("OUI ou NON attendu (en majuscules: « %1 » vaut NON pour "
                                       "le kiosque)")
                            .arg(valeur));
    case Genre::Entier: {
        static const QRegularExpression entier(QStringLiteral("^[+-]?[0-9]+$"));
        bool ok = false;
        const int n = valeur.toInt(&ok);
        if (!entier.match(valeur).hasMatch() || !ok || n > std::numeric_limits<std::int16_t>::max())
            return invalide(QStringLiteral("nombre entier attendu"));
        if (n < d.minimum)
            return invalide(QStringLiteral("au moins %1 attendu").arg(d.minimum));
        return {};
    }
    case Genre::PortReseau: {
        bool ok = false;
        const int port = valeur.toInt(&ok);
        if (ok && port > 0 && port <= 65535)
            return {};
        return invalide(
            QStringLiteral("numéro de port attendu (1 à 65535): le kiosque prend %1").arg(defaut));
    }
    case Genre::Heure:
        if (Startup::ConvertirHeure(valeur, QTime()).isValid())
            return {};
        return invalide(QStringLiteral("heure H:mm attendue: le kiosque prend %1").arg(defaut));
    case Genre::Taux: {
        bool ok = false;
        double taux = QLocale(QLocale::French, QLocale::France).toDouble(valeur, &ok);
        if (!ok)
            taux = QLocale::c().toDouble(valeur, &ok);
        if (ok && taux >= 0 && taux <= 100)
            return {};
        return invalide(
            QStringLiteral("pourcentage attendu (19,6 par exemple): le kiosque prend %1")
                .arg(defaut));
    }
    case Genre::Peripherique:
        if (valeur.isEmpty())
            return {}; // the LCD: the simulated display
        if (QFileInfo::exists(valeur))
            return {};
        return invalide(QStringLiteral("périphérique absent: %1").arg(valeur));
    case Genre::Bibliotheque: {
        const QString chemin = QDir(m_dossier).absoluteFilePath(valeur);
        if (!QFileInfo(chemin).isFile())
            return invalide(QStringLiteral("bibliothèque absente: %1").arg(chemin));
        if (Machine::controleDemande() == Machine::ControleProvenance::DossierRoot) {
            if (const auto p = Machine::examinerProvenance(chemin); !p.sure())
                return invalide(QStringLiteral("le kiosque la refusera: %1").arg(p.refus));
        }
        return {};
    }
    case Genre::DossierEpi: {
        const QString chemin = QDir(m_dossier).absoluteFilePath(valeur);
        return QFileInfo(chemin).isDir()
                   ? Verdict{}
                   : invalide(QStringLiteral("dossier absent: %1").arg(chemin));
    }
    case Genre::DossierCopie:
        if (valeur.isEmpty() || Utilities::DossierAccessible(valeur))
            return {};
        return invalide(QStringLiteral("dossier absent ou non inscriptible: %1").arg(valeur));
    case Genre::Moteur:
        return valeur.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0
                   ? Verdict{}
                   : invalide(QStringLiteral("seul SQLite est pris en charge"));
    case Genre::NomBase:
        if (valeur.isEmpty())
            return invalide(QStringLiteral("valeur vide"));
        return Platform::findFileNoCase(m_dossier, valeur + QStringLiteral(".db"))
                   ? Verdict{}
                   : invalide(QStringLiteral("base absente: %1")
                                  .arg(QDir(m_dossier).filePath(valeur + QStringLiteral(".db"))));
    case Genre::Adresse: {
        static const QRegularExpression adresse(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"));
        if (valeur.isEmpty() && d.premier != 0)
            return {}; // a recipient left out
        return adresse.match(valeur).hasMatch() ? Verdict{}
                                                : invalide(QStringLiteral("adresse mail attendue"));
    }
    }
    return {};
}

void Verification::verifier()
{
    // The terminal's port number as start-up reads it.
    m_portTpe =
        Platform::readProfileInt(m_ini, QStringLiteral("PortCom"), QStringLiteral("PortTPE"), 1);
    for (const CleConfiguration &d : Config::clesConfiguration()) {
        if (d.premier == 0) {
            ajouter(d, d.cle, d.defaut);
            continue;
        }
        // A family: the members always shown, those in the file, and the terminal's port.
        QList<int> numeros;
        for (int n = d.premier; n <= d.toujours; ++n)
            numeros.append(n);
        for (const ProfileEntry &e : m_entrees) {
            if (!e.hidden && e.section.compare(d.section, Qt::CaseInsensitive) == 0) {
                if (const int n = Config::numeroMembre(d, e.key); n > 0 && !numeros.contains(n))
                    numeros.append(n);
            }
        }
        if (d.cle == QLatin1String("Port") && m_portTpe >= 1 && !numeros.contains(m_portTpe))
            numeros.append(m_portTpe);
        std::sort(numeros.begin(), numeros.end());
        for (const int n : numeros)
            ajouter(d, d.cle + QString::number(n),
                    Config::defautCle(d.section, d.cle + QString::number(n)));
    }

    for (const ProfileEntry &e : m_entrees) {
        if (m_connues.contains(&e))
            continue;
        QString raison = QStringLiteral("clé que le kiosque ne lit pas");
        if (e.section.isNull())
            raison = QStringLiteral("hors de toute section: jamais lue");
        else if (e.hidden)
            raison = QStringLiteral("en double: seule la première occurrence est lue");
        m_lignes.append(
            {e.section.isNull() ? QStringLiteral("(hors section)") : e.section,
             e.key,
             e.value.isEmpty() ? QStringLiteral("(vide)") : e.value,
             QString(),
             {Verdict::Inconnue, QStringLiteral("ligne %1, %2").arg(e.line).arg(raison)}});
    }

    // Passwords, card sales and the fleet's commands never cross a network in clear.
    const QString ftp = QStringLiteral("FTP"), flotte = QStringLiteral("Flotte"),
                  email = QStringLiteral("Email"), serveur = QStringLiteral("Serveur");
    signalerEnClair(ftp, serveur, QStringLiteral("FTPS=OUI"),
                    valeur(ftp, QStringLiteral("FTPS")) == QLatin1String("OUI"),
                    QStringLiteral("compte et détails de vente en clair"));
    signalerEnClair(flotte, serveur, QStringLiteral("CA"),
                    !valeur(flotte, QStringLiteral("CA")).isEmpty(),
                    QStringLiteral("événements et commandes de la flotte en clair"));
    signalerEnClair(email, QStringLiteral("SMTP"), QStringLiteral("STARTTLS=OUI"),
                    valeur(email, QStringLiteral("STARTTLS")) == QLatin1String("OUI"),
                    QStringLiteral("rapports et remises en clair"));
}

QString Verification::valeur(const QString &section, const QString &cle) const
{
    const ProfileEntry *e = trouver(section, cle);
    return e ? e->value.trimmed() : QString();
}

void Verification::signalerEnClair(const QString &section, const QString &cleServeur,
                                   const QString &cleTls, bool tls, const QString &conseil)
{
    QString serveur = valeur(section, cleServeur);
    if (serveur.isEmpty())
        serveur = Config::defautCle(section, cleServeur);
    if (serveur.isEmpty() || tls)
        return;
    const QHostAddress adresse(serveur);
    if (serveur.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
        (!adresse.isNull() && adresse.isLoopback()))
        return;
    for (Ligne &l : m_lignes) {
        if (l.section.compare(section, Qt::CaseInsensitive) == 0 &&
            l.cle.compare(cleServeur, Qt::CaseInsensitive) == 0 && l.verdict.etat == Verdict::Bon)
            l.verdict = {Verdict::EnClair,
                         QStringLiteral("%1 sans %2: %3").arg(serveur, cleTls, conseil)};
    }
}

int Verification::imprimer(QTextStream &out) const
{
    out << "Configuration: " << m_ini << '\n';
    QStringList sections;
    for (const Ligne &l : m_lignes) {
        bool vue = false;
        for (const QString &s : sections)
            vue = vue || s.compare(l.section, Qt::CaseInsensitive) == 0;
        if (!vue)
            sections.append(l.section);
    }
    int lues = 0;
    QStringList aRenseigner, invalides, inconnues, enClair;
    for (const QString &section : sections) {
        out << "\n[" << section << "]\n";
        for (const Ligne &l : m_lignes) {
            if (l.section.compare(section, Qt::CaseInsensitive) != 0)
                continue;
            out << "  " << l.cle.leftJustified(24) << " = " << l.valeur;
            if (!l.defaut.isNull())
                out << "  (défaut: " << (l.defaut.isEmpty() ? QStringLiteral("vide") : l.defaut)
                    << ')';
            switch (l.verdict.etat) {
            case Verdict::Bon:
                break;
            case Verdict::ARenseigner:
                out << "  À RENSEIGNER: " << l.verdict.raison;
                aRenseigner.append(l.cle);
                break;
            case Verdict::Invalide:
                out << "  INVALIDE: " << l.verdict.raison;
                invalides.append(l.cle);
                break;
            case Verdict::Inconnue:
                out << "  INCONNUE: " << l.verdict.raison;
                inconnues.append(l.cle);
                break;
            case Verdict::EnClair:
                out << "  EN CLAIR: " << l.verdict.raison;
                enClair.append(l.section + QLatin1Char('/') + l.cle);
                break;
            }
            out << '\n';
            lues += l.verdict.etat == Verdict::Inconnue ? 0 : 1;
        }
    }
    out << "\nRésumé: " << lues << " clé(s) lue(s) par le kiosque, " << aRenseigner.size()
        << " périphérique(s) à renseigner, " << invalides.size() << " valeur(s) invalide(s), "
        << inconnues.size() << " clé(s) inconnue(s), " << enClair.size() << " lien(s) en clair.\n";
    if (!invalides.isEmpty() || !inconnues.isEmpty() || !enClair.isEmpty())
        out << "Configuration à corriger.\n";
    else if (!aRenseigner.isEmpty())
        out << "Configuration complète sauf les périphériques à renseigner: "
            << aRenseigner.join(QStringLiteral(", ")) << ".\n";
    else
        out << "Configuration complète et valide.\n";
    return aRenseigner.isEmpty() && invalides.isEmpty() && inconnues.isEmpty() && enClair.isEmpty()
               ? Reussite
               : Echec;
}

int executer(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ArgumentsCommande a(arguments, {}, {}, 1, 1);
    if (!a.valides(err))
        return ErreurUsage;
    const std::optional<QString> nom =
        Platform::findFileNoCase(a.dossier(), QStringLiteral("RURUDIZ.ini"));
    if (!nom) {
        err << "erreur: pas de configuration RURUDIZ.ini dans " << a.dossier() << '\n';
        return Echec;
    }
    Verification verification(a.dossier(), QDir(a.dossier()).filePath(*nom));
    if (!verification.lire(err))
        return Echec;
    verification.verifier();
    return verification.imprimer(out);
}

} // namespace

const Commande CommandeConfig = {
    "config",
    "config DOSSIER",
    "vérifie RURUDIZ.ini: chaque clé lue par le kiosque, sa valeur et son défaut",
    "Affiche, section par section, chaque clé de RURUDIZ.ini que lit le kiosque avec sa valeur\n"
    "(ou « (absente) ») et la valeur par défaut qu'il prend sans elle, et signale:\n"
    "  À RENSEIGNER   un périphérique encore à A_RENSEIGNER (dossier posé par init --production)\n"
    "  INVALIDE       une valeur que le kiosque ne peut pas utiliser: nombre, port ou heure\n"
    "                 illisible, OUI/NON mal écrit, périphérique, bibliothèque, dossier ou base\n"
    "                 absents, adresse mail invalide, bibliothèque du mécanisme qu'un autre\n"
    "                 compte que root peut modifier...\n"
    "  INCONNUE       une clé que le kiosque ne lit jamais (faute de frappe, section inconnue,\n"
    "                 clé ou section en double dont seule la première est lue)\n"
    "  EN CLAIR       un serveur FTP sans FTPS=OUI, de mail sans STARTTLS=OUI, un broker de\n"
    "                 flotte sans CA, hors de cette machine: mots de passe et données\n"
    "                 passeraient en clair\n"
    "Les mots de passe ne sont jamais affichés. La dernière ligne résume l'état.\n"
    "\n"
    "Statut: 0 configuration complète et valide, 1 quelque chose est signalé (ou pas de\n"
    "RURUDIZ.ini), 64 usage.\n",
    executer,
};

namespace {

int executerBadge(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 1 || arguments.first().trimmed().isEmpty() ||
        arguments.first().contains(QLatin1Char(':')) ||
        arguments.first().contains(QLatin1Char(';'))) {
        err << "erreur: un nom sans « : » ni « ; » attendu\n";
        return ErreurUsage;
    }
    // The code on the standard input, as the scanner types it: never on the command line,
    // where the shell's history and the process list would keep it.
    QTextStream entree(stdin);
    const QString code = entree.readLine().trimmed();
    if (code.isEmpty()) {
        err << "erreur: aucun code de badge lu sur l'entrée standard\n";
        return Echec;
    }
    out << Config::entreeBadge(arguments.first().trimmed(), code) << '\n';
    return Reussite;
}

} // namespace

const Commande CommandeBadge = {
    "badge",
    "badge NOM < code",
    "donne l'entrée de BadgePersonnel d'un badge du personnel",
    "Lit le code d'un badge sur l'entrée standard (scanné, puis Entrée) et affiche l'entrée à\n"
    "ajouter à la clé BadgePersonnel de la section Machine de RURUDIZ.ini, entrées séparées par\n"
    "« ; »: « NOM:sel:empreinte », le code haché avec un sel tiré au hasard (le fichier ne le\n"
    "donne pas). Avec au moins un badge, F12 n'ouvre le remplissage qu'après un badge connu.\n"
    "\n"
    "Statut: 0 entrée affichée, 1 aucun code lu, 64 erreur d'usage.\n",
    executerBadge,
};

} // namespace Movendi::Admin
