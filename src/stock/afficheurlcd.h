#pragma once

#include <QString>

#include <cstdint>

namespace Movendi::Stock {

// The staff LCD beside the machine: two lines of 20 characters, HD44780 commands, 4-bit mode on
// the data register of the first parallel port (bits 7-4 data, bit 0 register select, bit 1
// enable). Writes go through the installed port output; the waits go through the clock seam and
// sleep, never spin.
class AfficheurLCD
{
public:
    static constexpr std::uint16_t AdressePort = 0x378;

    // Sets the port address, then initialises and clears the display.
    void InitAfficheur();
    void EcrireCommande(std::uint8_t valeur);
    void EcrireCaractere(std::uint8_t valeur);
    // Pulses the enable line from the last value written, which it leaves unchanged.
    void Impulsion(std::uint8_t valeur);

    std::uint8_t derniereValeur() const { return m_derniere; }
    // The first output failure since the last call, then empty.
    QString prendreErreur();

private:
    void ecrire(std::uint8_t valeur);

    std::uint16_t m_port = 0;
    std::uint8_t m_derniere = 0;
    QString m_erreur;
};

// The text of one message: the two texts joined with nothing between them, padded with blanks or
// cut to 40 characters. Characters 1-20 show on the first line, 21-40 on the second.
QString texteMessageLCD(const QString &ligne1, const QString &ligne2);

// Sends a 40-character text: characters 1-20, the move to the second line (0xC0), characters
// 21-40, each as its Windows-1252 code ('?' when it has none).
void envoyerTexteLCD(AfficheurLCD &afficheur, const QString &texte);

} // namespace Movendi::Stock
