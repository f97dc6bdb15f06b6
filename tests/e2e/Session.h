#pragma once
// The real program's windows and serial component, and serbox-device as a child
// process on a pseudo-terminal of its own: the two ends of a line, as a
// technician would have them on a desk. Everything waits for conditions with
// generous limits; nothing asserts on time.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "shell/Unit1.h"
#include "shell/Unit2.h"
#include "shell/Unit3.h"
#include "tests/support/Header.h"

namespace e2e {

inline std::string ReadFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteFile(const std::filesystem::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

// A stored program: header block, and source (text section, 0x00, 5001 block).
struct Program {
    std::string hdr, src;
    bool operator==(const Program&) const = default;
    friend std::ostream& operator<<(std::ostream& o, const Program& p)
    {
        return o << p.hdr.size() << "-byte header, " << p.src.size() << "-byte source";
    }
    static Program Read(const std::string& base) { return {ReadFile(base + ".hdr"), ReadFile(base + ".src")}; }
};

// Records of the text section: text bytes, a kind marker, some high bytes.
inline std::string Text(size_t size)
{
    std::string t;
    for (size_t i = 0; t.size() < size; ++i)
        t += static_cast<char>(i % 37 == 36 ? 1 + (i / 37) % 4 : i % 11 == 5 ? 0x80 + i % 0x7F : 0x20 + i % 0x5F);
    return t;
}

// 22 groups of a prefix and a number 0..1023, then 0xFF.
inline std::string Block()
{
    std::string b;
    for (int g = 0; g < 22; ++g) {
        const int v = (g * 97) % 1024;
        b += {static_cast<char>(g < 11 ? 'A' + g : ' '), static_cast<char>(0x30 + (v >> 4)), static_cast<char>(0x30 + (v & 15))};
    }
    return b + "\xFF";
}

class Device {
public:
    explicit Device(const QStringList& args)
    {
        process_.setProgram(SERBOX_DEVICE);
        process_.setArguments(args);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start();
        Shows("port: ");
        const int at = out_.indexOf("port: ") + 6;
        path_ = out_.mid(at, out_.indexOf('\n', at) - at).toStdString();
    }
    ~Device() { Kill(); }
    const std::string& Path() const { return path_; }
    // Waits until the device has printed the text `times` times; tells what it printed if not.
    bool Shows(const QString& text, int ms = 20000, int times = 1)
    {
        const bool shown = QTest::qWaitFor([&] { Collect(); return out_.count(text) >= times; }, ms);
        EXPECT_TRUE(shown) << "the device never said " << text.toStdString() << ": " << Output().toStdString();
        return shown;
    }
    // As Shows, but asleep in the event loop as the program is in use, so that
    // the process's CPU is its own, and forgetting what came before: a long run
    // keeps neither the text nor the time it takes to search it.
    bool SaysNext(const QString& text, int ms = 20000)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        QObject::connect(&process_, &QProcess::readyRead, &loop, [&] {
            if (Collect(), out_.contains(text))
                loop.quit();
        });
        QObject::connect(&process_, &QProcess::finished, &loop, &QEventLoop::quit);
        if (Collect(), !out_.contains(text) && process_.state() == QProcess::Running)
            loop.exec();
        const bool said = (Collect(), out_.contains(text));
        EXPECT_TRUE(said) << "the device never said " << text.toStdString() << ": " << out_.toStdString();
        out_.clear();
        return said;
    }
    void Enter() { process_.write("\n"); }
    void Input(const QByteArray& bytes) { process_.write(bytes); }
    void Kill() { process_.kill(); process_.waitForFinished(5000); }
    // Once the input is closed and the program has ended: the exit status it should have.
    void Finish(int expected = 0)
    {
        process_.closeWriteChannel();
        const bool ended = QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, 60000);
        const int status = !ended ? -1 : process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -2;
        EXPECT_EQ(status, expected) << Output().toStdString();
    }
    QString Output() { return Collect(), out_; }

private:
    void Collect() { out_ += QString::fromLocal8Bit(process_.readAll()); }
    QProcess process_;
    QString out_;
    std::string path_;
};

struct Serbox {
    TForm1 Form1{1};
    TForm2 Form2{Form1};
    TForm3 Form3{Form1};
    std::vector<std::string> Reports;
    std::filesystem::path Dir;

    Serbox()
    {
        Form1.Attach(&Form2, &Form3);
        Form1.OnStandardError = [this](const std::string& m) { Reports.push_back(m); };
        Form1.show();
        Dir = std::filesystem::temp_directory_path() /
              ("serbox-e2e-" + std::to_string(QCoreApplication::applicationPid()));
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
    }
    ~Serbox() { std::filesystem::remove_all(Dir); }

    ProgramState& S() { return Form1.State(); }
    QString Messages() const { return Form1.Memo(2)->toPlainText(); }
    bool Done() { return QTest::qWaitFor([&] { return Messages().contains("OPERAZIONE ESEGUITA"); }, 5000); }

    // As at every start: acknowledge the port request, then type the device into
    // the setup dialog that the next tick brings.
    void StartOn(const std::string& device)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return Form3.isVisible() && S().ErrorKind == 10; }, 10000));
        Form3.Button1->click();
        AnswerSetupDialog(QString::fromStdString(device));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Form1.Port().Connected(); }, 10000))
            << "port " << S().PortNumber << " " << Form1.Port().Port() << "=" << Form1.Port().DeviceFor("COM1")
            << ": " << Form1.Port().LastFailure() << "; message " << S().ErrorKind;
        EXPECT_EQ(S().PortNumber, 1);
    }
    // What a user does after plugging in another adapter: that port from Setup.
    void SwitchTo(int n, const std::string& device)
    {
        Form1.Port().Bind("COM" + std::to_string(n), device);
        Form1.Action(QString("COM %1").arg(n))->trigger();
        ASSERT_TRUE(Form1.Port().Connected());
    }
    void FileIn(const std::string& name)
    {
        Form1.SaveDialog().SetChooser([p = (Dir / name).string()] { return std::optional<std::string>(p); });
        Form1.Action("File in-F7")->trigger();
    }
    void FileOut(const std::string& name)
    {
        Form1.OpenDialog().SetChooser([p = (Dir / name).string()] { return std::optional<std::string>(p); });
        Form1.Action("File out-F8")->trigger();
    }
    // The program's files as a reception leaves them.
    Program Stored(const std::string& base) const { return Program::Read((Dir / base).string()); }
    void Store(const std::string& base, const Program& p) const
    {
        WriteFile(Dir / (base + ".hdr"), p.hdr);
        WriteFile(Dir / (base + ".src"), p.src);
        WriteFile(Dir / (base + ".TXT"), "");
    }
    // A program as serbox-device reads it, for its command line.
    QStringList Files(const std::string& base, const Program& p) const
    {
        Store("device-" + base, p);
        return {Out("device-" + base + ".hdr"), Out("device-" + base + ".src")};
    }
    QString Out(const std::string& base) const { return QString::fromStdString((Dir / base).string()); }

private:
    static void AnswerSetupDialog(const QString& device)
    {
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, poll, [poll, device] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            auto* combo = dialog ? dialog->findChild<QComboBox*>("device") : nullptr;
            if (!combo)
                return;
            dialog->findChild<QComboBox*>("port")->setCurrentText("COM1");
            combo->setCurrentText(device);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            poll->stop();
            poll->deleteLater();
        });
        poll->start(20);
    }
};

}  // namespace e2e
