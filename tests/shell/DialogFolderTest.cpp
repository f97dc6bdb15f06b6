#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <optional>

#include "shell/DialogFolder.h"
#include "shell/Unit1.h"

// The folder kept while it exists, then Documents, then home: never the working
// folder, which a shortcut makes the program's own.
TEST(DialogFolder, TheKeptFolderThenDocumentsThenHome)
{
    const auto exists = [](const QString& f) { return f != "gone"; };
    EXPECT_EQ(DialogFolder("kept", "docs", "home", exists), "kept");
    EXPECT_EQ(DialogFolder("", "docs", "home", exists), "docs");
    EXPECT_EQ(DialogFolder("gone", "docs", "home", exists), "docs");
    EXPECT_EQ(DialogFolder("gone", "gone", "home", exists), "home");
    EXPECT_EQ(DialogFolder("", "", "home", exists), "home");
}

// A set chosen in either dialog moves both to its folder, and the next run opens
// there too.
TEST(DialogFolder, BothDialogsFollowTheLastChoiceIntoTheNextRun)
{
    QTemporaryDir dir;
    const QString folder = QDir::toNativeSeparators(dir.path());
    {
        TForm1 f(1);
        EXPECT_EQ(f.SaveDialog().Folder(), DialogFolder());
        EXPECT_NE(f.SaveDialog().Folder(), folder);
        f.OpenDialog().SetChooser([&] { return std::optional<std::string>((dir.path() + "/SET.TXT").toStdString()); });
        ASSERT_TRUE(f.OpenDialog().Execute());
        EXPECT_EQ(f.SaveDialog().Folder(), folder);
        EXPECT_EQ(f.OpenDialog().Folder(), folder);
        // A cancel moves nothing.
        f.SaveDialog().SetChooser([] { return std::nullopt; });
        EXPECT_FALSE(f.SaveDialog().Execute());
        EXPECT_EQ(f.OpenDialog().Folder(), folder);
    }
    TForm1 again(0);
    EXPECT_EQ(std::pair(again.SaveDialog().Folder(), again.OpenDialog().Folder()), std::pair(folder, folder));
}
