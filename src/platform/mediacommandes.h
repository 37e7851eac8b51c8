#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace Movendi::Platform {

// The result codes a media command can give, as the player's callers know them.
namespace ResultatMedia {
inline constexpr quint32 Ok = 0;
inline constexpr quint32 CommandeInconnue = 261;
inline constexpr quint32 AppareilInconnu = 263;
inline constexpr quint32 FichierIntrouvable = 275;
inline constexpr quint32 ParametreManquant = 417;
inline constexpr quint32 AucunLecteur = 319;
} // namespace ResultatMedia

// One command string taken apart: the verb, the alias and the words after it. "open" names its
// file first ("open MPEGVideo!\"/a b/film.avi\" alias 7Aform parent 123 Style 1073741824"):
// the device type and the path (quotes removed) come before the alias.
struct CommandeMedia
{
    QString verbe;
    QString typeAppareil;
    QString chemin;
    QString alias;
    QStringList mots; // the words after the alias, in order
};
// Empty for a text that is not a command (no verb, an open without an alias, an unclosed quote).
std::optional<CommandeMedia> analyserCommandeMedia(const QString &texte);
// The number after a word of the command ("parent" gives the window handle), 0 when absent.
qint64 nombreApres(const CommandeMedia &commande, const QString &mot);

/// The media command interface the attract player speaks: a command string in, a result code
/// out (0 for success) and, for the commands that answer, the reply text. The installed
/// interface (see installCommandesMedia) lives until it is replaced.
class CommandesMedia
{
public:
    virtual ~CommandesMedia() = default;
    virtual quint32 envoyer(const QString &commande, QString *reponse = nullptr) = 0;
};

// Where no player is installed (staff tools, tests that show no film): every command answers
// AucunLecteur.
class SansLecteurMedia final : public CommandesMedia
{
public:
    quint32 envoyer(const QString &commande, QString *reponse = nullptr) override;
};

// A player for tests: notes every command and answers as a player would, from what the test set:
// an open fails on a missing file, "status ... length" gives the film's length, "status ...
// position" the position the test moved it to, "where ... destination" the film's size.
class EnregistreurMedia final : public CommandesMedia
{
public:
    quint32 envoyer(const QString &commande, QString *reponse = nullptr) override;

    QStringList commandes;
    qint64 dureeMs = 60000;
    qint64 positionMs = 0;
    int largeur = 0; // the film's own size, as "where" reports it
    int hauteur = 0;
    // The aliases open now.
    QStringList ouverts;
};

} // namespace Movendi::Platform
