#include "device/Device.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace device {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void SystemFailure(const std::string& what)
{
    throw Failure(what + ": " + std::strerror(errno));
}

void SetRaw(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        SystemFailure("cannot read the line settings");
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B4800);
    ::cfsetospeed(&t, B4800);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        SystemFailure("cannot set the line raw");
}

int Remaining(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

Line Line::CreatePty()
{
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        SystemFailure("cannot create a pseudo-terminal");
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
        ::close(fd);
        SystemFailure("cannot unlock the pseudo-terminal");
    }
    Line line(fd, ::ptsname(fd), true);
    // Raw before the PC opens it: a cooked line would echo the device's bytes
    // back and turn CR into LF before the PC has set its own settings.
    SetRaw(fd);
    // A master whose slave has never been opened does not report a hang-up;
    // opening and closing it once makes the hang-up tell whether the PC holds it.
    const int slave = ::open(line.path_.c_str(), O_RDWR | O_NOCTTY);
    if (slave >= 0)
        ::close(slave);
    return line;
}

Line Line::OpenDevice(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        SystemFailure("cannot open " + path);
    Line line(fd, path, false);
    SetRaw(fd);
    return line;
}

Line::Line(Line&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), pty_(other.pty_), pending_(std::move(other.pending_)), pendingAt_(other.pendingAt_),
      lastArrival_(other.lastArrival_)
{
    other.fd_ = -1;
}

Line::~Line()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool Line::PeerOpen() const
{
    if (!pty_)
        return true;
    // The master side reports a hang-up for as long as no one holds the slave open.
    pollfd p{fd_, 0, 0};
    return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

bool Line::WaitForPeer(int timeoutMs) const
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!PeerOpen()) {
        if (timeoutMs >= 0 && Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void Line::Send(const std::string& bytes, const Options& options)
{
    // 10 bits a byte at 4800 baud.
    constexpr auto kByteTime = std::chrono::microseconds(2083);
    auto next = Clock::now();
    size_t done = 0;
    while (done < bytes.size()) {
        const size_t n = options.baudPace ? 1 : bytes.size() - done;
        const ssize_t w = ::write(fd_, bytes.data() + done, n);
        if (w < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 100);
                if (p.revents & (POLLHUP | POLLERR))
                    throw Failure("the PC closed the port while the device was sending");
                continue;
            }
            if (errno == EIO)
                throw Failure("the PC closed the port while the device was sending");
            SystemFailure("cannot write to the line");
        }
        done += static_cast<size_t>(w);
        if (options.baudPace) {
            next += kByteTime;
            std::this_thread::sleep_until(next);
        }
    }
}

bool Line::ReadByte(uint8_t& b, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pendingAt_ == pending_.size()) {
        char buf[4096];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            pending_.assign(buf, static_cast<size_t>(n));
            pendingAt_ = 0;
            lastArrival_ = Clock::now();
            break;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
            SystemFailure("cannot read from the line");
        // EIO on a pseudo-terminal: the PC has closed its end.
        if (n < 0 && errno == EIO && pty_)
            throw Failure("the PC closed the port");
        const int left = Remaining(deadline);
        if (left == 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, left);
        if (pty_ && (p.revents & POLLHUP) && !(p.revents & POLLIN))
            throw Failure("the PC closed the port");
    }
    b = static_cast<uint8_t>(pending_[pendingAt_++]);
    return true;
}

std::string Line::Read(size_t n, int timeoutMs, const std::string& what)
{
    std::string got;
    uint8_t b;
    while (got.size() < n) {
        if (!ReadByte(b, timeoutMs))
            throw Failure("no " + what + " within " + std::to_string(timeoutMs) + " ms" +
                          (got.empty() ? std::string()
                                       : " (got only " + std::to_string(got.size()) + " bytes: " +
                                             Hex(got.substr(0, 16)) + (got.size() > 16 ? " ...)" : ")")));
        got.push_back(static_cast<char>(b));
    }
    return got;
}

std::string Line::ReadThrough(uint8_t terminator, int timeoutMs, const std::string& what)
{
    std::string got;
    uint8_t b;
    do {
        if (!ReadByte(b, timeoutMs))
            throw Failure(what + " stopped after " + std::to_string(got.size()) + " bytes, without its " + Hex(std::string(1, static_cast<char>(terminator))));
        got.push_back(static_cast<char>(b));
    } while (b != terminator);
    return got;
}

std::string Line::ReadQuiet(int quietMs)
{
    std::string got;
    uint8_t b;
    try {
        while (ReadByte(b, quietMs))
            got.push_back(static_cast<char>(b));
    } catch (const Failure&) {
        // A closed port at the end of a quiet wait leaves nothing more to read.
    }
    return got;
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    char two[4];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02X", c);
        if (!out.empty())
            out += ' ';
        out += two;
    }
    return out;
}

}  // namespace device
