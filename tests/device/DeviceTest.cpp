// serbox-device must fail whatever a faulty PC does: its exit status is what
// the end-to-end tests and a tester trust.

#include <gtest/gtest.h>

#include <future>
#include <sstream>
#include <thread>

#include "device/Device.h"
#include "tests/support/Header.h"

TEST(Device, AFaultyPcFailsTheExchange)
{
    const std::string leadAndHeader = "\x80\x80" + HeaderOf('T', '0');
    const std::string text = std::string("AB\x01", 3) + '\0';
    // What the PC's end does: reads what the device sends through a byte, then
    // writes its bytes, that many milliseconds apart; the failure the device reports.
    using PcMoves = std::vector<std::tuple<char, std::string, int>>;
    const std::tuple<bool, PcMoves, std::string> rows[] = {
        {true, {{'I', "\x1B\x41\x42\x40\x41", 0}}, "wrong reply to the poll in command state"},
        {true, {{'I', "\x1B\x41\x42", 0}}, "no reply to the poll in command state within"},
        {false, {{'Z', leadAndHeader, 0}}, "the header came faster than one byte a tick: it was not paced"},
        {false, {{'Z', leadAndHeader, 52}, {'I', "\x1B\x41\x42\x40\x42", 0}, {'V', text, 0}},
         "the 0x00 after the text section came at once"},
    };
    for (const auto& [send, pcMoves, failure] : rows) {
        SCOPED_TRACE(failure);
        const device::Options options{.timeoutMs = 500};
        auto line = device::Line::CreatePty();
        auto pc = device::Line::OpenDevice(line.Path());
        std::ostringstream log;
        auto what = std::async(std::launch::async, [&]() -> std::string {
            try {
                send ? device::SendProgram(line, {HeaderOf('T', '0'), text}, options, log)
                     : (void)device::ReceiveProgram(line, options, log);
            } catch (const device::Failure& e) {
                return e.what();
            }
            return "";
        });
        for (const auto& [until, bytes, paceMs] : pcMoves) {
            pc.ReadThrough(until, 5000, "the device's request");
            for (size_t at = 0; at < bytes.size(); at += paceMs ? 1 : bytes.size()) {
                pc.Send(bytes.substr(at, paceMs ? 1 : std::string::npos), {});
                std::this_thread::sleep_for(std::chrono::milliseconds(paceMs));
            }
        }
        const std::string got = what.get();
        EXPECT_NE(got.find(failure), std::string::npos) << got;
    }
}
