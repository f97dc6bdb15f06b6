#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/PortSetupDialog.h"
#include "tests/support/Pty.h"

namespace {

// Acts on the dialog once it runs, as a person would, then leaves it.
void WhenShown(platform::PortSetupDialog& dialog, std::function<void()> act)
{
    QTimer::singleShot(0, &dialog, std::move(act));
}

QComboBox* Combo(platform::PortSetupDialog& d, const char* name) { return d.findChild<QComboBox*>(name); }

void Click(platform::PortSetupDialog& d, QDialogButtonBox::StandardButton b)
{
    d.findChild<QDialogButtonBox*>()->button(b)->click();
}

}  // namespace

TEST(PortSetupDialog, HandsBackTheNameTheDeviceAndEveryLineSetting)
{
    Pty pty;
    platform::PortSetupDialog dialog;
    platform::PortSetupChoice choice;
    choice.Name = "COM";
    WhenShown(dialog, [&] {
        EXPECT_EQ(Combo(dialog, "port")->currentText(), "COM1");  // the start name names no port
        Combo(dialog, "port")->setCurrentText("COM2");
        Combo(dialog, "device")->setCurrentText(QString::fromStdString(pty.path));
        Combo(dialog, "dataBits")->setCurrentText("7");
        Combo(dialog, "parity")->setCurrentText("Even");
        Combo(dialog, "stopBits")->setCurrentText("2");
        Combo(dialog, "flow")->setCurrentIndex(0);
        Click(dialog, QDialogButtonBox::Ok);
    });
    ASSERT_TRUE(dialog.Run(choice, {}));
    EXPECT_EQ(choice.Name, "COM2");
    EXPECT_EQ(choice.Bindings["COM2"], pty.path);
    EXPECT_EQ(choice.Line.DataBits, 7);
    EXPECT_EQ(choice.Line.ParityBits, platform::Parity::Even);
    EXPECT_TRUE(choice.Line.ParityCheck);
    EXPECT_EQ(choice.Line.Stop, platform::StopBits::Two);
    EXPECT_EQ(choice.Line.Flow, platform::FlowControl::None);
}

TEST(PortSetupDialog, AFileTypedAsTheDeviceIsRefusedInTheDialog)
{
    const auto file = std::filesystem::temp_directory_path() / "serbox-dialog-not-a-port";
    std::ofstream(file) << "x";
    platform::PortSetupDialog dialog;
    platform::PortSetupChoice choice;
    choice.Name = "COM5";  // as typed: reaches the checks unchanged
    QString shown;
    WhenShown(dialog, [&] {
        EXPECT_EQ(Combo(dialog, "port")->currentText(), "COM5");
        Combo(dialog, "device")->setCurrentText(QString::fromStdString(file.string()));
        Click(dialog, QDialogButtonBox::Ok);  // refused: the dialog stays
        for (QLabel* l : dialog.findChildren<QLabel*>())
            shown += l->text();
        Click(dialog, QDialogButtonBox::Cancel);
    });
    EXPECT_FALSE(dialog.Run(choice, {}));
    EXPECT_TRUE(shown.contains("file")) << shown.toStdString();
    EXPECT_TRUE(choice.Bindings.empty());
    std::filesystem::remove(file);
}
