#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <optional>

#include "shell/DialogFolder.h"
#include "shell/Unit1.h"

// The folder kept while it exists, then Documents, then home; a set chosen in
// either dialog moves both to its folder, for the next run too; a cancel moves nothing.
TEST(DialogFolder, TheLastChoiceThenDocumentsThenHomeNeverTheWorkingFolder)
{
    const auto exists = [](const QString& f) { return f != "gone"; };
    EXPECT_EQ(QStringList({DialogFolder("kept", "docs", "home", exists), DialogFolder("gone", "docs", "home", exists),
                           DialogFolder("", "gone", "home", exists)}),
              QStringList({"kept", "docs", "home"}));

    QTemporaryDir dir;
    const QString folder = QDir::toNativeSeparators(dir.path());
    {
        TForm1 f(1);
        f.OpenDialog().SetChooser([&] { return std::optional<std::string>((dir.path() + "/SET.TXT").toStdString()); });
        ASSERT_TRUE(f.OpenDialog().Execute());
        f.SaveDialog().SetChooser([] { return std::nullopt; });
        EXPECT_FALSE(f.SaveDialog().Execute());
        EXPECT_EQ(f.SaveDialog().Folder(), folder);
    }
    TForm1 again(0);
    EXPECT_EQ(std::pair(again.SaveDialog().Folder(), again.OpenDialog().Folder()), std::pair(folder, folder));
}
