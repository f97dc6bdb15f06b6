// serbox-device must fail whatever a faulty PC does: its exit status is what
// the end-to-end tests and a tester trust.

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <future>
#include <sstream>
#include <thread>

#include "device/Device.h"
#include "tests/support/Header.h"

namespace {

// The PC's end of the device's pseudo-terminal, played by the test.
struct FaultyPc {
    int fd;
    explicit FaultyPc(const std::string& path) : fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~FaultyPc() { ::close(fd); }
    // Reads what the device sends until it has seen `until`.
    std::string ReadUntil(const std::string& until)
    {
        std::string got;
        char c;
        while (got.find(until) == std::string::npos && ::read(fd, &c, 1) == 1)
            got.push_back(c);
        return got;
    }
    void Write(const std::string& bytes) { (void)!::write(fd, bytes.data(), bytes.size()); }
};

std::string FailureOf(const std::function<void()>& exchange)
{
    try {
        exchange();
    } catch (const device::Failure& e) {
        return e.what();
    }
    return "";
}

const device::Program kProgram{HeaderOf('T', '0'), std::string("AB\x01", 3) + '\0'};

}  // namespace

TEST(Device, AWrongOrMissingReplyFailsTheSend)
{
    device::Options options;
    options.timeoutMs = 300;
    for (const std::string reply : {"\x1B\x41\x42\x40\x41", "\x1B\x41\x42"}) {
        auto line = device::Line::CreatePty();
        FaultyPc pc(line.Path());
        std::ostringstream log;
        auto failure = std::async(std::launch::async, [&] {
            return FailureOf([&] { device::SendProgram(line, kProgram, options, log); });
        });
        pc.ReadUntil("\x1B" "A\x1B" "I");
        pc.Write(reply);
        const std::string what = failure.get();
        EXPECT_NE(what.find("reply to the poll in command state"), std::string::npos) << what;
    }
}

TEST(Device, AnUnpacedHeaderOrAZeroByteWithTheTextFailsTheReceive)
{
    device::Options options;
    options.timeoutMs = 500;
    const std::string kReady = "\x1B\x41\x42\x40\x42";
    for (bool pacedHeader : {false, true}) {
        auto line = device::Line::CreatePty();
        FaultyPc pc(line.Path());
        std::ostringstream log;
        auto failure = std::async(std::launch::async, [&] {
            return FailureOf([&] { device::ReceiveProgram(line, options, log); });
        });
        pc.ReadUntil("\x1B" "Z");
        pc.Write("\x80\x80");
        const std::string header = HeaderOf('T', '0');
        for (char b : header) {
            pc.Write(std::string(1, b));
            if (pacedHeader)
                std::this_thread::sleep_for(std::chrono::milliseconds(52));
        }
        if (pacedHeader) {
            pc.ReadUntil("\x1B" "I");
            pc.Write(kReady);
            pc.ReadUntil("\x1B" "V");
            pc.Write(std::string("AB\x01", 3) + '\0');  // the zero byte at once
        }
        const std::string what = failure.get();
        EXPECT_NE(what.find(pacedHeader ? "0x00 after the text section came at once" : "not paced"),
                  std::string::npos)
            << what;
    }
}

TEST(Device, StepsRunInOrderTheRepeatTimesOverAndTypeOnlyLast)
{
    auto steps = [](const std::vector<std::string>& args, long repeat) {
        std::string got;
        for (const device::Step& s : device::ParseSteps(args, repeat)) {
            got += "|" + s.command;
            for (const std::string& word : s.args)
                got += " " + word;
        }
        return got;
    };
    EXPECT_EQ(steps({"send", "a.hdr", "a.src", "receive", "b"}, 2), "|send a.hdr a.src|receive b|send a.hdr a.src|receive b");
    EXPECT_EQ(steps({"receive", "b", "type"}, 1), "|receive b|type");
    EXPECT_EQ(steps({"receive", "b", "type"}, 2), "");  // type ends at the end of the input: no second round
    EXPECT_EQ(steps({"type", "receive", "b"}, 1), "");
    EXPECT_EQ(steps({"send", "a.hdr"}, 1), "");
}
