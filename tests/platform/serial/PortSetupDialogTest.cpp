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
// the dialog stays; corrected, it hands back the port and every line setting. The
// next start-up offers them again; a device that has gone since is said so and not
// replaced by another.
TEST(PortSetupDialog, RefusesAFileAsTheDeviceThenHandsBackEverySettingAndOffersItAtTheNextStartUp)
{
    // Bound by its link, as an adapter's /dev/serial/by-id name is: unplugged, the
    // link goes. (A pty's own number may be another test's again at once.)
    auto pty = std::make_unique<Pty>();
    TempDir dir("serbox-dialog");
    const auto file = dir.path / "not-a-port";
    std::ofstream(file) << "x";
    const std::string path = (dir.path / "usb-adapter-if00").string();
    std::filesystem::create_symlink(pty->path, path);
    // Each time a new dialog, as the program shows it; "COM" is a run where nothing is chosen yet.
    const auto run = [](platform::PortSetupChoice& choice, const std::function<void(platform::PortSetupDialog&)>& user) {
        platform::PortSetupDialog dialog;
        QTimer::singleShot(0, &dialog, [&] { user(dialog); });
        return dialog.Run(choice, {});
    };
    auto combo = [](platform::PortSetupDialog& d, const char* name) { return d.findChild<QComboBox*>(name); };
    auto ok = [](platform::PortSetupDialog& d) { d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click(); };
    auto labels = [](platform::PortSetupDialog& d) {
        QString all;
        for (QLabel* l : d.findChildren<QLabel*>())
            all += l->text();
        return all;
    };
    platform::PortSetupChoice choice, next, missing;
    choice.Name = next.Name = missing.Name = "COM";
    QString shown;
    ASSERT_TRUE(run(choice, [&](platform::PortSetupDialog& d) {
        EXPECT_EQ(combo(d, "port")->currentText(), "COM1");  // the start name names no port
        combo(d, "port")->setCurrentText("COM2");
        combo(d, "device")->setCurrentText(QString::fromStdString(file.string()));
        ok(d);
        EXPECT_TRUE(choice.Bindings.empty());  // refused: the dialog stays
        shown = labels(d);
        combo(d, "baud")->setCurrentText("9600");
        combo(d, "dataBits")->setCurrentText("7");
        combo(d, "parity")->setCurrentText("Even");
        combo(d, "stopBits")->setCurrentText("2");
        combo(d, "flow")->setCurrentIndex(0);
        // Typed and entered: the path itself, not a line of the list.
        combo(d, "device")->lineEdit()->selectAll();
        QTest::keyClicks(combo(d, "device")->lineEdit(), QString::fromStdString(path));
        QTest::keyClick(combo(d, "device")->lineEdit(), Qt::Key_Return);
    }));
    EXPECT_TRUE(shown.contains("file")) << shown.toStdString();
    const auto settings = [](const platform::PortSetupChoice& c) {
        const platform::LineSettings& l = c.Line;
        return std::tuple(c.Name, c.Bindings, l.BaudRate, l.DataBits, l.ParityBits, l.ParityCheck, l.Stop, l.Flow);
    };
    const auto chosen = std::tuple(std::string("COM2"), decltype(choice.Bindings){{"COM2", path}}, 9600, 7,
                                   platform::Parity::Even, true, platform::StopBits::Two, platform::FlowControl::None);
    EXPECT_EQ(settings(choice), chosen);

    // Opened again, and at the next start-up, it shows what it handed back: left
    // with OK, nothing changes.
    ASSERT_TRUE(run(choice, ok));
    EXPECT_EQ(settings(choice), chosen);
    ASSERT_TRUE(run(next, ok));
    EXPECT_EQ(settings(next), chosen);

    std::filesystem::remove(path);  // unplugged
    pty.reset();
    QString said, field;
    EXPECT_FALSE(run(missing, [&](platform::PortSetupDialog& d) {
        said = labels(d);
        field = combo(d, "device")->currentText();
        ok(d);  // refused: the device is not there
        d.reject();
    }));
    EXPECT_TRUE(said.contains(QString::fromStdString("COM2 was " + path + " last time: it is not plugged in now.")))
        << said.toStdString();
    EXPECT_EQ(field.toStdString(), path);
}
