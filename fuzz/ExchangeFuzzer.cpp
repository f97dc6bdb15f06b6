// libFuzzer entry: decodes the input as a stream of operations (fuzz/Ops.h) and
// runs them on a fresh rig, every one watched by the checker (fuzz/Checker.h).

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/Checker.h"
#include "fuzz/Ops.h"
#include "link/SetCommit.h"
#include "receive/Reception.h"
#include "transmit/Pacing.h"
#include "transmit/Transmission.h"

namespace {

using namespace fuzzops;

// Past the end of the input every byte reads as 0.
struct Reader {
    const uint8_t* p;
    const uint8_t* end;
    bool More() const { return p < end; }
    uint8_t Byte() { return p < end ? *p++ : 0; }
    std::string Bytes(size_t n)
    {
        n = std::min<size_t>(n, static_cast<size_t>(end - p));
        std::string s(reinterpret_cast<const char*>(p), n);
        p += n;
        return s;
    }
};

void FileOperation(fuzzrig::Rig& rig, fuzzrig::Checker& check, Reader& in)
{
    const std::string* targets[] = {&rig.S.RxFileName, &rig.S.RxHdrPath, &rig.S.RxSrcPath,
                                    &rig.S.TxFileName, &rig.S.TxHdrPath, &rig.S.TxSrcPath,
                                    &rig.S.RxFileName, &rig.S.RxHdrPath, &rig.S.RxSrcPath};
    const uint8_t target = in.Byte() % kTargetCount;
    const std::string& named = *targets[target];
    const std::string path = target >= RxListAside && !named.empty() ? AsidePath(named) : named;
    const uint8_t action = in.Byte() % kActionCount;
    const std::string content = action == SetContent ? in.Bytes(in.Byte()) : "";
    if (path.empty())
        return;
    FakeFileSystem& fs = rig.F.Files;
    switch (action) {
    case Vanish: fs.Files.erase(path); check.Touched(path); break;
    case FailOpen: fs.FailOpen.insert(path); break;
    case FailWrite: fs.FailWrite.insert(path); break;
    case FailCreate: fs.FailCreate.insert(path); break;
    case Heal:
        for (std::set<std::string>* failing : {&fs.FailOpen, &fs.FailWrite, &fs.FailCreate})
            failing->erase(path);
        break;
    default: fs.Files[path] = content; check.Touched(path); break;
    }
}

void Run(Reader in)
{
    fuzzrig::Rig rig;
    fuzzrig::Checker check(rig);
    ProgramState& S = rig.S;
    Form1Components& C = rig.C;
    while (in.More()) {
        const uint8_t op = in.Byte() % kOpCount;
        switch (op) {
        case RxShortA: case RxShortB: case RxShortC:
            check.Receive(in.Bytes(in.Byte()), 0);
            break;
        case RxLong: {
            const size_t lo = in.Byte();
            check.Receive(in.Bytes((lo | size_t(in.Byte()) << 8) & 0x1FFF), 0);
            break;
        }
        case RxShortRead: {
            const size_t n = in.Byte();
            const int extra = 1 + in.Byte() % 4;
            check.Receive(in.Bytes(n), extra);
            break;
        }
        case Tick1:
            for (int n = 1 + in.Byte() % 100; n > 0; --n)
                check.Tick1();
            break;
        case Tick2:
            check.Tick2();
            break;
        case TxEmpty:
            check.Quiet([&] { ComPort1TxEmpty(S); });
            break;
        case Pace:
            for (int n = 1 + in.Byte(); n > 0; --n) {
                check.Tick2();
                check.Quiet([&] { ComPort1TxEmpty(S); });
            }
            break;
        case F7:
            rig.F.SaveDialog1.Answers = {kNames[in.Byte() % kNameCount]};
            check.ChooseIncoming([&] { FileinF71Click(S, C); });
            break;
        case F8:
            rig.F.OpenDialog1.Answers = {kNames[in.Byte() % kNameCount]};
            check.Quiet([&] { FileoutF81Click(S, C); });
            break;
        case Lost:
            check.PortLost();
            break;
        case DialogOk:
            if (S.ErrorKind == 2)
                check.ChooseIncoming([&] { ConfirmOverwrite(S, C); });
            break;
        default:
            FileOperation(rig, check, in);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Run(Reader{data, data + size});
    return 0;
}
