#include <gtest/gtest.h>

#include <optional>

#include "platform/widgets/QtWidgets.h"

// The chosen file is named as the system writes names: what the fields and the
// messages show. The toolkit's dialog hands names back with forward slashes.
TEST(FileDialog, TheChosenNameIsWrittenAsTheSystemWritesIt)
{
    platform::QtFileDialog dialog(nullptr, platform::QtFileDialog::Mode::Save);
    dialog.SetChooser([] { return std::optional<std::string>("C:/Users/tech/Documents/SAVED.TXT"); });
    ASSERT_TRUE(dialog.Execute());
#ifdef _WIN32
    EXPECT_EQ(dialog.FileName(), "C:\\Users\\tech\\Documents\\SAVED.TXT");
#else
    EXPECT_EQ(dialog.FileName(), "C:/Users/tech/Documents/SAVED.TXT");
#endif
}
