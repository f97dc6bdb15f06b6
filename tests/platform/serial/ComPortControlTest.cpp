// The Telnet port control codec against the bytes of RFC 2217 and the Telnet
// RFCs, written out here again rather than taken from the code.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/serial/ComPortControl.h"

using namespace platform;
using S = std::string;
using O = ComPortControl::Option;

namespace {

S B(std::initializer_list<int> bytes) { return S(bytes.begin(), bytes.end()); }
S Sub(std::initializer_list<int> codeAndValue) { return B({255, 250, 44}) + B(codeAndValue) + B({255, 240}); }
const S kAgreed = B({255, 253, 44, 255, 253, 0, 255, 251, 0, 255, 253, 3, 255, 251, 3});

// A codec that said hello, then took in, in pieces of the size given.
struct Fed {
    ComPortControl c;
    S data, reply;
    explicit Fed(const S& in, size_t piece = SIZE_MAX)
    {
        c.Hello();
        for (size_t at = 0; at < in.size(); at += piece)
            c.Take(S(in, at, piece), data, reply);
    }
};

}  // namespace

TEST(ComPortControl, AnswersTheServerAndUndoublesItsData)
{
    const struct {
        const char* what;
        S in, data, reply;
        O state;
        int64_t nonsense = 0;
    } cases[] = {
        {"the server agrees to all", kAgreed + "A", "A", "", O::Agreed},
        {"and refuses later", kAgreed + B({255, 254, 44}), "", B({255, 252, 44}), O::Refused},
        {"the option refused", B({255, 254, 44}), "", "", O::Refused},
        {"his WONT 44 is his side's", B({255, 252, 44}), "", "", O::Asked},
        {"his WILL 44 declined", B({255, 251, 44}), "", B({255, 254, 44}), O::Asked},
        {"others declined once", B({255, 253, 24, 255, 251, 1, 255, 254, 24, 255, 253, 24, 255, 251, 1}), "",
         B({255, 252, 24, 255, 254, 1}), O::Asked},
        {"turned off and on", kAgreed + B({255, 252, 0, 255, 251, 0, 255, 254, 3, 255, 253, 3, 255, 254, 44, 255, 253, 44}),
         "", B({255, 254, 0, 255, 253, 0, 255, 252, 3, 255, 251, 3, 255, 252, 44, 255, 251, 44}), O::Agreed},
        {"IAC IAC is 0xFF", B({'a', 255, 255, 255, 255, 'b'}), B({'a', 255, 255, 'b'}), "", O::Asked},
        {"CR NUL is CR until binary", B({13, 0, 13, 10, 13, 255, 255, 13}), B({13, 13, 10, 13, 255, 13}), "", O::Asked},
        {"binary keeps the NUL", kAgreed + B({13, 0}), B({13, 0}), "", O::Agreed},
        {"no-ops and go-aheads", B({'a', 255, 241, 255, 249, 255, 242, 'b'}), "ab", "", O::Asked},
        {"unknown commands", B({'a', 255, 65, 255, 240, 'b'}), "ab", "", O::Asked, 4},
        {"other options' subnegotiations", B({255, 250, 24, 100, 255, 240, 'a'}), "a", "", O::Asked, 6},
        {"a subnegotiation cut by a command", B({255, 250, 44, 106, 255, 253, 44, 'a'}), "a", "", O::Agreed, 4},
        {"bad answers", Sub({101, 0, 18}) + Sub({106}) + Sub({7, 1}), "", "", O::Asked, 21},
        {"64 bytes are kept", B({255, 250, 44, 100}) + S(62, 'x') + B({255, 240}), "", "", O::Asked},
        {"more are not", B({255, 250, 44}) + S(65, 'x') + B({255, 255, 255, 240, 'a'}), "a", "", O::Asked, 71},
        {"the signature", Sub({100}) + Sub({100, 'x'}), "", Sub({0, 's', 'e', 'r', 'b', 'o', 'x'}), O::Asked},
    };
    for (const auto& c : cases) {
        for (size_t piece : {size_t(1), SIZE_MAX}) {
            Fed f(c.in, piece);
            EXPECT_EQ(std::tie(f.data, f.reply), std::tie(c.data, c.reply)) << c.what;
            EXPECT_EQ(std::tuple(f.c.State(), f.c.Nonsense()), std::tuple(c.state, c.nonsense)) << c.what;
        }
    }
}

TEST(ComPortControl, AsksEachSettingAsTheRfcSpells)
{
    const std::pair<LineSettings, S> lines[] = {
        {kDeviceLine, Sub({1, 0, 0, 0x12, 0xC0}) + Sub({2, 8}) + Sub({3, 1}) + Sub({4, 1})},
        {{65535, 7, StopBits::Two, Parity::Even, true}, Sub({1, 0, 0, 255, 255, 255, 255}) + Sub({2, 7}) + Sub({3, 3}) + Sub({4, 2})},
        {{300, 5, StopBits::OnePointFive, Parity::Mark, true}, Sub({1, 0, 0, 1, 44}) + Sub({2, 5}) + Sub({3, 4}) + Sub({4, 3})},
        {{50, 6, StopBits::One, Parity::Space, true}, Sub({1, 0, 0, 0, 50}) + Sub({2, 6}) + Sub({3, 5}) + Sub({4, 1})},
        {{9600, 8, StopBits::One, Parity::Odd, true}, Sub({1, 0, 0, 0x25, 0x80}) + Sub({2, 8}) + Sub({3, 2}) + Sub({4, 1})},
        {{9600, 8, StopBits::One, Parity::Odd, false}, Sub({1, 0, 0, 0x25, 0x80}) + Sub({2, 8}) + Sub({3, 1}) + Sub({4, 1})},
    };
    for (const auto& [line, bytes] : lines) {
        S out = "x";
        ComPortControl().AskLine(out, line);
        EXPECT_EQ(out, "x" + bytes);
    }
    ComPortControl c;
    EXPECT_EQ(c.Hello(), B({255, 251, 44, 255, 251, 0, 255, 253, 0, 255, 251, 3, 255, 253, 3}));
    S out;
    c.AskFlow(out, FlowControl::None), c.AskFlow(out, FlowControl::Software), c.AskFlow(out, FlowControl::Hardware);
    c.AskDtr(out, true), c.AskDtr(out, false), c.AskRts(out, true), c.AskRts(out, false);
    c.AskPurge(out, true, false), c.AskPurge(out, false, true), c.AskPurge(out, true, true), c.AskPurge(out, false, false);
    c.AskNotifications(out);
    EXPECT_EQ(out, Sub({5, 1}) + Sub({5, 2}) + Sub({5, 3}) + Sub({5, 8}) + Sub({5, 9}) + Sub({5, 11}) + Sub({5, 12}) +
                       Sub({12, 1}) + Sub({12, 2}) + Sub({12, 3}) + Sub({10, 0x1E}) + Sub({11, 0x10}));
}

TEST(ComPortControl, MatchesAnswersToAsksAndFollowsWhatTheServerReports)
{
    ComPortControl c;
    S out, data, reply;
    c.AskLine(out, kDeviceLine), c.AskFlow(out, FlowControl::Hardware), c.AskDtr(out, true), c.AskRts(out, true);
    c.AskDtr(out, false), c.AskRts(out, false), c.AskPurge(out, true, true), c.AskFlow(out, FlowControl::None);
    c.AskDtr(out, true);
    EXPECT_EQ(c.Cts(), std::nullopt);
    c.Take(Sub({101, 1, 2, 3, 4}) + Sub({102, 7}) + Sub({105, 4}) + Sub({105, 13}) + Sub({105, 0}) + Sub({105, 3}) +
               Sub({105, 1}) + Sub({105, 7}) + Sub({105, 9}) + Sub({105, 10}) + Sub({105, 12}) + Sub({103, 2}) + Sub({103, 1}) +
               Sub({112, 1}) + Sub({106, 0x1E}) + Sub({106, 0xE1}) + Sub({106, 0x08}) + Sub({107, 0x10}) + Sub({108}),
           data, reply);
    EXPECT_EQ(c.Unanswered(), (std::vector{ServerSetting::StopSize, ServerSetting::Dtr}));
    std::vector<std::tuple<ServerSetting, uint32_t, uint32_t>> refused;
    for (const auto& r : c.TakeRefusals())
        refused.emplace_back(r.Which, r.Asked, r.Got);
    EXPECT_EQ(refused, (decltype(refused){{ServerSetting::BaudRate, 4800, 0x01020304}, {ServerSetting::DataSize, 8, 7},
                                          {ServerSetting::Dtr, 8, 7}, {ServerSetting::Rts, 11, 10},
                                          {ServerSetting::Parity, 1, 2}, {ServerSetting::Purge, 3, 1}}));
    EXPECT_TRUE(c.TakeRefusals().empty());
    const LineErrors e = c.Errors();
    EXPECT_EQ(std::tuple(e.Overrun, e.Parity, e.Framing, e.Break), std::tuple(1, 1, 2, 1));
    EXPECT_EQ(std::tuple(c.Cts(), c.Suspended(), data + reply, c.Nonsense()), std::tuple(true, true, "", 0));
    c.Take(Sub({107, 0xEF}) + Sub({109}), data, reply);
    EXPECT_EQ(std::tuple(c.Cts(), c.Suspended()), std::tuple(false, false));
}
