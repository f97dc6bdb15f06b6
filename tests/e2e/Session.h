#pragma once
// The real program's windows and serial component, and serbox-device as a child
// process on a pseudo-terminal of its own: the two ends of a line on a desk.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/Header.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tests/support/Windows.h"

namespace e2e {

inline std::string ReadFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A stored program: header block, and source (text section, 0x00, 5001 block).
struct Program {
    std::string hdr, src;
    bool operator==(const Program&) const = default;
    friend std::ostream& operator<<(std::ostream& o, const Program& p) { return o << p.src.size() << "-byte source"; }
};

// Records of the text section: text bytes, a kind marker, some high bytes.
inline std::string Text(size_t size)
{
    std::string t;
    for (size_t i = 0; t.size() < size; ++i)
        t += static_cast<char>(i % 37 == 36 ? 1 + (i / 37) % 4 : i % 11 == 5 ? 0x80 + i % 0x7F : 0x20 + i % 0x5F);
    return t;
}

// A 5001 block: record-like bytes up to its 0xFF.
inline std::string Block() { return Text(66) + "\xFF"; }

// The program the set stem in dir holds.
inline Program ProgramIn(const std::filesystem::path& dir, const std::string& stem)
{
    return {ReadFile(dir / (stem + ".hdr")), ReadFile(dir / (stem + ".src"))};
}

// A set as F8 finds it; its .hdr and .src, as serbox-device's command line names them.
inline QStringList StoreSet(const std::filesystem::path& dir, const std::string& base, const Program& p)
{
    std::ofstream(dir / (base + ".hdr"), std::ios::binary) << p.hdr;
    std::ofstream(dir / (base + ".src"), std::ios::binary) << p.src;
    std::ofstream(dir / (base + ".TXT"));
    return {QString::fromStdString((dir / (base + ".hdr")).string()), QString::fromStdString((dir / (base + ".src")).string())};
}

class Device : public Child {
public:
    std::string path;  // the pseudo-terminal serbox opens
    QString before;    // what it printed before the text Says last awaited
    explicit Device(const QStringList& args)
    {
        setProcessChannelMode(MergedChannels);
        Start(QStringList{SERBOX_DEVICE} << args);
        if (Says("port: ") && Says("\n"))
            path = before.toStdString();
    }
    // Takes what it printed up to the text; tells all it printed if the text never comes.
    bool Says(const QString& text, int ms = 20000)
    {
        Until([&] { return Output().contains(text) || state() == NotRunning; }, ms);
        const qsizetype at = Output().indexOf(text);
        EXPECT_GE(at, 0) << "the device never said " << text.toStdString() << ": " << out_.toStdString();
        before = out_.left(at);
        out_.remove(0, at < 0 ? 0 : at + text.size());
        return at >= 0;
    }
    void Enter() { write("\n"); }
    // Once the input is closed: it ends, and ends well.
    void Finish()
    {
        closeWriteChannel();
        const bool ended = Until([&] { return state() == NotRunning; }, 60000);
        EXPECT_TRUE(ended && exitStatus() == NormalExit && exitCode() == 0) << Output().toStdString();
    }
    QString Output() { return out_ += QString::fromLocal8Bit(readAll()); }

private:
    QString out_;
};

// The English program as it starts, the watchdog ticking.
struct Serbox : Windows {
    std::vector<std::string> Reports;
    TempDir Temp{"serbox-e2e"};
    const std::filesystem::path& Dir = Temp.path;

    Serbox() : Windows(1, true)
    {
        Form1.OnStandardError = [this](const std::string& m) { Reports.push_back(m); };
        Form1.show();
    }

    QString Messages() const { return Form1.Memo(2)->toPlainText(); }

    // As after the start-up's port request and setup dialog (tests/desktop answers
    // them on the real program): the device on COM1.
    void StartOn(const std::string& device)
    {
        S().PortPromptStage = 2;
        ASSERT_TRUE(OpenOn(device)) << Form1.Port().LastFailure();
    }
    // serbox-device's "send" into the set F7 named, then its "receive" of that set.
    void RoundTrip(Device& device, const Program& p, const std::string& base)
    {
        device.Enter();
        ASSERT_TRUE(device.Says("send complete"));
        ASSERT_EQ(Stored(base), p);
        device.Enter();
        ASSERT_TRUE(device.Says("receive complete", 60000));
        ASSERT_EQ(Stored("back"), p);
    }
    void FileIn(const std::string& name) { Choose(Form1.SaveDialog(), "File in-F7", name); }
    void FileOut(const std::string& name) { Choose(Form1.OpenDialog(), "File out-F8", name); }
    Program Stored(const std::string& base) const { return ProgramIn(Dir, base); }
    QStringList Store(const std::string& base, const Program& p) const { return StoreSet(Dir, base, p); }
    QString Out(const std::string& name) const { return QString::fromStdString((Dir / name).string()); }

private:
    void Choose(platform::QtFileDialog& dialog, const char* action, const std::string& name)
    {
        dialog.SetChooser([p = (Dir / name).string()] { return std::optional<std::string>(p); });
        Form1.Action(action)->trigger();
    }
};

}  // namespace e2e
