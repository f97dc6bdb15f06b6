// libFuzzer entry for the Telnet port control codec. After the same asks, one
// codec takes the server's input whole and another in pieces of random sizes:
// they must agree (where a connection splits its reads changes nothing), and
// neither may hand out more data than came in, answer a connection with more than
// a bounded reply, or hold more than a bounded memory, whatever the server sends.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/serial/ComPortControl.h"

// Where the sanitizers' allocator is linked in, what the program holds now.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

using platform::ComPortControl;

// All a connection's answers: every option declined both ways, a few changes of
// the agreed ones and a few signatures.
constexpr size_t kReplyBound = 2048;
constexpr size_t kHeldBound = 2048;  // both codecs, with their few asks

// The line tells which invariant broke.
void Check(bool holds, int line = __builtin_LINE())
{
    if (!holds)
        std::fprintf(stderr, "line %d\n", line), __builtin_trap();
}

size_t Held() { return __sanitizer_get_current_allocated_bytes ? __sanitizer_get_current_allocated_bytes() : 0; }

void Ask(ComPortControl& c, uint8_t what, std::string& out)
{
    using namespace platform;
    const LineSettings line{what << 4 | 0xF, 5 + what / 6 % 4, StopBits(what / 6 % 3), Parity(what / 6 % 5), what > 127};
    switch (what % 6) {
    case 0: c.AskLine(out, line); break;
    case 1: c.AskFlow(out, FlowControl(what / 6 % 3)); break;
    case 2: c.AskDtr(out, what & 8); break;
    case 3: c.AskRts(out, what & 8); break;
    case 4: c.AskPurge(out, what & 8, what & 16); break;
    default: c.AskNotifications(out); break;
    }
}

}  // namespace

// The first byte: how many asks follow (one byte each); the next, how the input
// is cut; the rest is the server's.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    if (size < 2)
        return 0;
    const size_t asks = std::min<size_t>(bytes[0] % 16, size - 2);
    const std::string_view in(reinterpret_cast<const char*>(bytes) + 2 + asks, size - 2 - asks);
    const size_t before = Held();
    ComPortControl whole, split;
    {
        std::string out = whole.Hello() + split.Hello(), data[2], reply[2];
        for (size_t i = 0; i < asks; ++i)
            Ask(whole, bytes[2 + i], out), Ask(split, bytes[2 + i], out);
        whole.Take(in, data[0], reply[0]);
        uint32_t cut = bytes[1];
        for (size_t at = 0, piece; at < in.size(); at += piece) {
            cut = cut * 1103515245 + 12345;
            piece = 1 + (cut >> 16) % (bytes[1] % 32 + 1);
            split.Take(in.substr(at, piece), data[1], reply[1]);
        }
        Check(data[0].size() <= in.size() && reply[0].size() <= kReplyBound);
        Check(data[0] == data[1] && reply[0] == reply[1] && whole.Nonsense() == split.Nonsense());
        Check(whole.Unanswered() == split.Unanswered() && whole.State() == split.State());
        Check(whole.Cts() == split.Cts() && whole.Suspended() == split.Suspended());
        Check(whole.Errors().Total() == split.Errors().Total());
        const auto refused = whole.TakeRefusals();
        Check(refused.size() == split.TakeRefusals().size() && refused.size() + whole.Unanswered().size() <= asks * 4);
    }
    Check(Held() <= before + kHeldBound);
    return 0;
}
