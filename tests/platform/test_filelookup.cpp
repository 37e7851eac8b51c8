#include "kiosktest.h"
#include "platform/filelookup.h"

#include <QDir>

using namespace Movendi::Platform;

namespace {

class FileLookupTest : public Movendi::Test::KioskTest
{
};

TEST_F(FileLookupTest, Find_OtherLetterCase_GivesTheNameOnDisk)
{
    writeFile(QStringLiteral("Mainten.DB"), "x");
    EXPECT_EQ(findFileNoCase(folder(), QStringLiteral("MAINTEN.db")).value_or(QString()),
              QStringLiteral("Mainten.DB"));
    EXPECT_EQ(resolveFileNoCase(folder(), QStringLiteral("mainten.db")),
              path(QStringLiteral("Mainten.DB")));
    EXPECT_EQ(resolveFileNoCase(folder(), QStringLiteral("absent.txt")),
              path(QStringLiteral("absent.txt")));
}

TEST_F(FileLookupTest, Find_FoldersSubfolderPartsAndMissingNames_FindNothing)
{
    QDir(folder()).mkpath(QStringLiteral("image/sub"));
    writeFile(QStringLiteral("image/photo.jpg"), "x");
    EXPECT_FALSE(findFileNoCase(folder(), QStringLiteral("image")));
    EXPECT_FALSE(findFileNoCase(folder(), QStringLiteral("image/photo.jpg")));
    EXPECT_FALSE(findFileNoCase(folder(), QStringLiteral("photo.jpg")));
    EXPECT_FALSE(findFileNoCase(path(QStringLiteral("nowhere")), QStringLiteral("photo.jpg")));
    EXPECT_TRUE(findFileNoCase(path(QStringLiteral("image")), QStringLiteral("PHOTO.JPG")));
}

} // namespace
