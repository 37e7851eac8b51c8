#include "stock/accespersonnel.h"

#include "journal/journal.h"
#include "platform/clock.h"
#include "platform/seams.h"
#include "stock/afficheurlcd.h"

namespace Movendi::Stock {

namespace {

const QString contexte = QStringLiteral("BadgePersonnel");

} // namespace

AccesPersonnel::AccesPersonnel(QList<Config::BadgePersonnel> badges, Afficher afficher)
    : m_badges(std::move(badges)), m_afficher(std::move(afficher))
{
}

AccesPersonnel::~AccesPersonnel()
{
    if (m_attente)
        Platform::clock().cancel(m_attente);
}

bool AccesPersonnel::verrouille() const
{
    return m_finVerrouMs != 0 && Platform::clock().monotonicMs() < m_finVerrouMs;
}

AccesPersonnel::Issue AccesPersonnel::demander()
{
    if (verrouille()) {
        m_afficher(QStringLiteral("Remplissage bloque"), QStringLiteral("Reessayer plus tard"));
        return Issue::Verrouille;
    }
    if (m_finVerrouMs != 0) {
        m_finVerrouMs = 0;
        m_refus = 0;
    }
    if (m_attente)
        Platform::clock().cancel(m_attente);
    m_saisie.clear();
    m_ouvertPar.clear();
    m_finAttenteMs = Platform::clock().monotonicMs() + DelaiBadgeMs;
    m_attente = Platform::clock().callAfter(DelaiBadgeMs, [this] {
        m_attente = 0;
        abandonner();
    });
    m_afficher(QStringLiteral("Badge personnel ?"), QString());
    return Issue::Attente;
}

void AccesPersonnel::saisir(const QString &texte)
{
    if (!m_attente)
        return;
    for (const QChar c : texte) {
        // A scanner sends printable characters; a runaway one does not grow the code forever.
        if (c.isPrint() && m_saisie.size() < LongueurMaxBadge)
            m_saisie.append(c);
    }
}

AccesPersonnel::Issue AccesPersonnel::valider()
{
    if (!m_attente)
        return Issue::Attente;
    Platform::clock().cancel(m_attente);
    m_attente = 0;
    const QString code = std::exchange(m_saisie, QString());
    // The timer may be late behind a busy loop: the window is the monotonic clock's.
    if (Platform::clock().monotonicMs() > m_finAttenteMs) {
        abandonner();
        return Issue::Refuse;
    }
    if (const std::optional<QString> nom = Config::badgeReconnu(m_badges, code)) {
        m_refus = 0;
        m_ouvertPar = *nom;
        m_afficher(QString(), QString());
        return Issue::Ouvert;
    }
    if (++m_refus < EssaisAvantVerrou) {
        m_afficher(QStringLiteral("Badge refuse"), QString());
        return Issue::Refuse;
    }
    m_finVerrouMs = Platform::clock().monotonicMs() + VerrouMs;
    m_afficher(QStringLiteral("Remplissage bloque"), QStringLiteral("Reessayer plus tard"));
    Journal::JournaliserErreur(
        contexte, QStringLiteral("%1 badges refusés de suite: remplissage bloqué %2 minutes")
                      .arg(EssaisAvantVerrou)
                      .arg(VerrouMs / 60'000));
    return Issue::Verrouille;
}

void AccesPersonnel::abandonner()
{
    m_saisie.clear();
    m_afficher(QString(), QString());
}

void afficherSurLCD(const QString &ligne1, const QString &ligne2)
{
    AfficheurLCD lcd;
    lcd.InitAfficheur();
    if (!ligne1.isEmpty() || !ligne2.isEmpty())
        envoyerTexteLCD(lcd, texteMessageLCD(ligne1, ligne2));
    if (const QString erreur = lcd.prendreErreur(); !erreur.isEmpty())
        Journal::JournaliserErreur(contexte, QStringLiteral("afficheur: ") + erreur);
}

} // namespace Movendi::Stock
