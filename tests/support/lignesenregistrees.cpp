#include "lignesenregistrees.h"

#include "rendering.h"

namespace Movendi::Test {

bool LigneEnregistree::open(int port, const QString &reglages)
{
    ouvertures << QStringLiteral("%1 %2").arg(port).arg(reglages);
    m_ouverte = true;
    return true;
}

bool LigneEnregistree::write(const QByteArray &octets)
{
    if (!m_ouverte)
        return false;
    recu += octets;
    if (m_tout)
        *m_tout += octets;
    return true;
}

std::unique_ptr<Platform::SerialLine> LignesEnregistrees::create(const QString &)
{
    auto ligne = std::make_unique<LigneEnregistree>(&m_tout);
    derniere = ligne.get();
    return ligne;
}

QString LignesEnregistrees::text() const
{
    PrinterSim::TextRenderer rendu;
    return QString::fromUtf8(rendu.feed(m_tout));
}

} // namespace Movendi::Test
