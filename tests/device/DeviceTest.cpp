// serbox-device must fail whatever a faulty PC does: its exit status is what
// the end-to-end tests and a tester trust.

#include <gtest/gtest.h>

#include <future>
#include <sstream>
#include <thread>

#include "device/Device.h"
#include "tests/support/Header.h"

// The PC's end reads what the device sends through `until`, then writes its bytes,
// `paceMs` apart when given.
struct PcMove {
    char until;
    std::string write;
    int paceMs = 0;
};

TEST(Device, AFaultyPcFailsTheExchange)
{
    const std::string leadAndHeader = "\x80\x80" + HeaderOf('T', '0');
    const std::string text = std::string("AB\x01", 3) + '\0';
    const struct {
        bool send;
        std::vector<PcMove> pc;
        const char* failure;
    } rows[] = {
        {true, {{'I', "\x1B\x41\x42\x40\x41"}}, "wrong reply to the poll in command state"},
        {true, {{'I', "\x1B\x41\x42"}}, "no reply to the poll in command state within"},
        {false, {{'Z', leadAndHeader}}, "the header came faster than one byte a tick: it was not paced"},
        {false, {{'Z', leadAndHeader, 52}, {'I', "\x1B\x41\x42\x40\x42"}, {'V', text}},
         "the 0x00 after the text section came at once"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failure);
        device::Options options;
        options.timeoutMs = 500;
        auto line = device::Line::CreatePty();
        auto pc = device::Line::OpenDevice(line.Path());
        std::ostringstream log;
        auto failure = std::async(std::launch::async, [&]() -> std::string {
            try {
                row.send ? device::SendProgram(line, {HeaderOf('T', '0'), text}, options, log)
                         : (void)device::ReceiveProgram(line, options, log);
            } catch (const device::Failure& e) {
                return e.what();
            }
            return "";
        });
        for (const PcMove& m : row.pc) {
            pc.ReadThrough(m.until, 5000, "the device's request");
            for (size_t at = 0; at < m.write.size(); at += m.paceMs ? 1 : m.write.size()) {
                pc.Send(m.write.substr(at, m.paceMs ? 1 : std::string::npos), {});
                std::this_thread::sleep_for(std::chrono::milliseconds(m.paceMs));
            }
        }
        const std::string what = failure.get();
        EXPECT_NE(what.find(row.failure), std::string::npos) << what;
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
