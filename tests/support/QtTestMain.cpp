// Entry point of the test programs that need a QApplication. CTest's test
// discovery runs the program without the tests' environment, so the headless
// platform is chosen here unless the caller picked one. The choices the program
// keeps between runs go to a folder of the program's own, emptied before each
// case: no case sees another's, nor the user's.
#include <QApplication>
#include <QSettings>
#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

class ForgetKeptChoices : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, "serbox", "serbox").clear();
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TempDir settings{"serbox-test-settings"};
    // Files, not the registry, on Windows too: setPath does not move the registry.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(settings.path.string()));
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetKeptChoices);
    return RUN_ALL_TESTS();
}
