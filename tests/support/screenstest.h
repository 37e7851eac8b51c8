#pragma once

#include "client/clientscripte.h"
#include "front/kioskscreens.h"
#include "front/kiosque.h"
#include "kiosktest.h"

#include <QLabel>
#include <QPushButton>

namespace Movendi::Test {

// The customer screens on a folder laid out by the staff tool, loaded as start-up loads them.
class ScreensTest : public KioskTest
{
protected:
    void SetUp() override;

    // Loads the screens in French and shows the home screen.
    void demarrer();
    // The control of a screen by its name and, for an array member, its index.
    template <typename T = QWidget>
    static T *controle(QWidget *ecran, const QString &nom, int index = -1)
    {
        return Client::controle<T>(ecran, nom, index);
    }
    void cliquer(QWidget *w) const;
    // Handles what the screens queued (their activation runs out of the show event).
    static void traiterEvenements();
    // Runs an SQL statement on the store.
    void sql(const QString &statement, const QVariantList &parametres = {}) const;

    // The kiosk as its program builds it: the link to the terminal, the sale desk and the
    // screens using them, installed as the program's screens.
    Front::Kiosque m_kiosque;
    Payment::LiaisonTerminal &m_lien = m_kiosque.terminal();
    Sale::PosteVente &m_poste = m_kiosque.poste();
    Front::KioskScreens &m_screens = m_kiosque.ecrans();
    // The customer at these screens, who lets them handle each touch at once.
    Client::ClientScripte m_client{m_screens, &ScreensTest::traiterEvenements};
};

} // namespace Movendi::Test
