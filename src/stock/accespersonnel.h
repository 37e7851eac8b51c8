#pragma once

#include "config/badgespersonnel.h"

#include <QString>

#include <functional>

namespace Movendi::Stock {

// F12 behind the staff badges: the LCD asks for a badge, the scanner's code (typed as keys,
// ended by Enter) must be a listed one within the window; three wrong ones in a row lock the
// refill screen and raise an alarm. Times are the clock seam's monotonic ones.
class AccesPersonnel
{
public:
    static constexpr qint64 DelaiBadgeMs = 30'000;
    static constexpr int EssaisAvantVerrou = 3;
    static constexpr qint64 VerrouMs = 5 * 60'000;
    static constexpr int LongueurMaxBadge = 64;

    enum class Issue { Attente, Ouvert, Refuse, Verrouille };

    // The two LCD lines (both empty: blank it).
    using Afficher = std::function<void(const QString &ligne1, const QString &ligne2)>;

    AccesPersonnel(QList<Config::BadgePersonnel> badges, Afficher afficher);
    ~AccesPersonnel();
    AccesPersonnel(const AccesPersonnel &) = delete;
    AccesPersonnel &operator=(const AccesPersonnel &) = delete;

    // F12: asks for a badge (Attente), or Verrouille while locked.
    Issue demander();
    bool enAttente() const { return m_attente != 0; }
    // The text of a key while a badge is asked for; ignored otherwise.
    void saisir(const QString &texte);
    // Enter: Ouvert (ouvertPar() says who), Refuse, Verrouille; Attente when none was asked.
    Issue valider();
    QString ouvertPar() const { return m_ouvertPar; }
    bool verrouille() const;

private:
    void abandonner();

    QList<Config::BadgePersonnel> m_badges;
    Afficher m_afficher;
    quint64 m_attente = 0; // the window's timer, 0 when no badge is asked for
    qint64 m_finAttenteMs = 0;
    qint64 m_finVerrouMs = 0;
    int m_refus = 0;
    QString m_saisie;
    QString m_ouvertPar;
};

// The two lines on the staff LCD, an output failure journalled.
void afficherSurLCD(const QString &ligne1, const QString &ligne2);

} // namespace Movendi::Stock
