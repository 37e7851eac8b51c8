#include "screenstest.h"

#include "i18n/constmessage.h"
#include "startup/demarrage.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"

#include <QCoreApplication>

namespace Movendi::Test {

void ScreensTest::SetUp()
{
    KioskTest::SetUp();
    useApplicationFolder(true);
}

void ScreensTest::demarrer()
{
    I18n::ChargerMessages(QStringLiteral("FR"));
    m_screens.afficherAccueil();
    traiterEvenements();
}

void ScreensTest::cliquer(QWidget *w) const
{
    ASSERT_TRUE(m_client.toucher(w)) << "no such control";
}

void ScreensTest::traiterEvenements()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void ScreensTest::sql(const QString &statement, const QVariantList &parametres) const
{
    Store::StoreDatabase base;
    base.executer(statement, parametres);
}

} // namespace Movendi::Test
