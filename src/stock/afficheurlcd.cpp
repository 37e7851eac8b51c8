#include "stock/afficheurlcd.h"

#include "platform/clock.h"
#include "platform/portoutput.h"
#include "platform/seams.h"
#include "platform/windows1252.h"

#include <utility>

namespace Movendi::Stock {

namespace {
constexpr std::uint8_t SelectionDonnee = 0x01;
constexpr std::uint8_t Validation = 0x02;
// Longer than the enable pulse (450 ns) and a character's or a short command's execution (37 us).
constexpr qint64 AttenteFrontUs = 50;
// Clear and return home take up to 1.52 ms.
constexpr qint64 AttenteCommandeMs = 2;
constexpr qint64 AttenteMiseSousTensionMs = 16;
constexpr std::uint8_t Initialisation[] = {0x01, 0x03, 0x02, 0x28, 0x0C, 0x06, 0x01};
constexpr std::uint8_t DebutLigne2 = 0xC0;
constexpr int LongueurMessage = 40;
} // namespace

void AfficheurLCD::ecrire(std::uint8_t valeur)
{
    Platform::PortOutput &port = Platform::portOutput();
    if (!port.out32(m_port, valeur) && m_erreur.isEmpty())
        m_erreur = port.errorText();
}

void AfficheurLCD::InitAfficheur()
{
    m_port = AdressePort;
    ecrire(0);
    Platform::clock().sleepMs(AttenteMiseSousTensionMs);
    for (std::uint8_t commande : Initialisation)
        EcrireCommande(commande);
}

void AfficheurLCD::EcrireCommande(std::uint8_t valeur)
{
    m_derniere = valeur & 0xF0;
    ecrire(m_derniere);
    Impulsion(m_derniere);
    m_derniere = std::uint8_t((valeur & 0x0F) << 4);
    ecrire(m_derniere);
    Impulsion(m_derniere);
    Platform::clock().sleepMs(AttenteCommandeMs);
}

void AfficheurLCD::EcrireCaractere(std::uint8_t valeur)
{
    m_derniere = (valeur & 0xF0) | SelectionDonnee;
    ecrire(m_derniere);
    Impulsion(m_derniere);
    m_derniere = std::uint8_t(((valeur & 0x0F) << 4) | SelectionDonnee);
    ecrire(m_derniere);
    Impulsion(m_derniere);
}

void AfficheurLCD::Impulsion(std::uint8_t valeur)
{
    ecrire(valeur | Validation);
    Platform::clock().sleepUs(AttenteFrontUs);
    ecrire(std::uint8_t((valeur | Validation) ^ Validation));
    Platform::clock().sleepUs(AttenteFrontUs);
}

QString AfficheurLCD::prendreErreur()
{
    return std::exchange(m_erreur, QString());
}

QString texteMessageLCD(const QString &ligne1, const QString &ligne2)
{
    return (ligne1 + ligne2).leftJustified(LongueurMessage, QLatin1Char(' '), true);
}

void envoyerTexteLCD(AfficheurLCD &afficheur, const QString &texte)
{
    for (int i = 0; i < LongueurMessage && i < texte.size(); ++i) {
        if (i == 20)
            afficheur.EcrireCommande(DebutLigne2);
        const int code = Platform::windows1252Code(texte.at(i));
        afficheur.EcrireCaractere(std::uint8_t(code < 0 ? '?' : code));
    }
}

} // namespace Movendi::Stock
