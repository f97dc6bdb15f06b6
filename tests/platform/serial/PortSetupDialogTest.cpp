#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <tuple>

#include "platform/serial/PortSetupDialog.h"
#include "tests/support/Pty.h"
#include "tests/support/TempDir.h"

// Driven as a person would once it runs: a file typed as the device is refused and
// the dialog stays; corrected, it hands back the port and every line setting.
TEST(PortSetupDialog, RefusesAFileAsTheDeviceThenHandsBackTheNameTheDeviceAndEveryLineSetting)
{
    Pty pty;
    TempDir dir("serbox-dialog");
    const auto file = dir.path / "not-a-port";
    std::ofstream(file) << "x";
    platform::PortSetupDialog dialog;
    auto combo = [&](const char* name) { return dialog.findChild<QComboBox*>(name); };
    auto ok = [&] { return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok); };
    platform::PortSetupChoice choice;
    choice.Name = "COM";
    QString shown;
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_EQ(combo("port")->currentText(), "COM1");  // the start name names no port
        combo("port")->setCurrentText("COM2");
        combo("device")->setCurrentText(QString::fromStdString(file.string()));
        ok()->click();
        EXPECT_TRUE(choice.Bindings.empty());  // refused: the dialog stays
        for (QLabel* l : dialog.findChildren<QLabel*>())
            shown += l->text();
        combo("device")->setCurrentText(QString::fromStdString(pty.path));
        combo("dataBits")->setCurrentText("7");
        combo("parity")->setCurrentText("Even");
        combo("stopBits")->setCurrentText("2");
        combo("flow")->setCurrentIndex(0);
        ok()->click();
    });
    ASSERT_TRUE(dialog.Run(choice, {}));
    EXPECT_TRUE(shown.contains("file")) << shown.toStdString();
    const auto settings = [&] {
        const platform::LineSettings& l = choice.Line;
        return std::tuple(choice.Name, choice.Bindings, l.BaudRate, l.DataBits, l.ParityBits, l.ParityCheck, l.Stop, l.Flow);
    };
    const auto chosen = std::tuple(std::string("COM2"), decltype(choice.Bindings){{"COM2", pty.path}}, 4800, 7,
                                   platform::Parity::Even, true, platform::StopBits::Two, platform::FlowControl::None);
    EXPECT_EQ(settings(), chosen);

    // Opened again, it shows what it handed back: left with OK, nothing changes.
    QTimer::singleShot(0, &dialog, [&] { ok()->click(); });
    ASSERT_TRUE(dialog.Run(choice, {}));
    EXPECT_EQ(settings(), chosen);
}

// The next start-up offers the port, its device and the line chosen last time; a
// device that has gone since is said so and not replaced by another.
TEST(PortSetupDialog, TheNextStartUpOffersTheLastChoiceAndSaysWhenItsDeviceIsGone)
{
    // Bound by its link, as an adapter's /dev/serial/by-id name is: unplugged, the
    // link goes. (A pty's own number may be another test's again at once.)
    auto pty = std::make_unique<Pty>();
    TempDir dir("serbox-by-id");
    const std::string path = (dir.path / "usb-adapter-if00").string();
    std::filesystem::create_symlink(pty->path, path);
    auto run = [](const std::function<void(platform::PortSetupDialog&)>& user) {
        platform::PortSetupDialog dialog;
        platform::PortSetupChoice choice;
        choice.Name = "COM";  // nothing chosen yet in this run
        QTimer::singleShot(0, &dialog, [&] { user(dialog); });
        const bool ok = dialog.Run(choice, {});
        return std::pair(ok, choice);
    };
    auto combo = [](platform::PortSetupDialog& d, const char* name) { return d.findChild<QComboBox*>(name); };
    auto ok = [](platform::PortSetupDialog& d) { d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click(); };
    run([&](platform::PortSetupDialog& d) {
        combo(d, "port")->setCurrentText("COM3");
        combo(d, "baud")->setCurrentText("9600");
        combo(d, "flow")->setCurrentIndex(0);
        // Typed and entered: the path itself, not a line of the list.
        combo(d, "device")->lineEdit()->selectAll();
        QTest::keyClicks(combo(d, "device")->lineEdit(), QString::fromStdString(path));
        QTest::keyClick(combo(d, "device")->lineEdit(), Qt::Key_Return);
    });

    const auto [again, offered] = run([&](platform::PortSetupDialog& d) { ok(d); });
    ASSERT_TRUE(again);
    EXPECT_EQ(offered.Name, "COM3");
    EXPECT_EQ(offered.Bindings, (std::map<std::string, std::string>{{"COM3", path}}));
    EXPECT_EQ(offered.Line.BaudRate, 9600);
    EXPECT_EQ(offered.Line.Flow, platform::FlowControl::None);

    std::filesystem::remove(path);  // unplugged
    pty.reset();
    QString said, field;
    const auto [taken, missing] = run([&](platform::PortSetupDialog& d) {
        for (QLabel* l : d.findChildren<QLabel*>())
            said += l->text();
        field = combo(d, "device")->currentText();
        ok(d);  // refused: the device is not there
        d.reject();
    });
    EXPECT_FALSE(taken);
    EXPECT_TRUE(said.contains(QString::fromStdString("COM3 was " + path + " last time: it is not plugged in now.")))
        << said.toStdString();
    EXPECT_EQ(field.toStdString(), path);
}
