#pragma once
// A pseudo-terminal for tests of the real serial component: the test holds the
// master side and plays the device; the component opens the slave path.

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

struct Pty {
    int master = -1;
    std::string path;

    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        path = ::ptsname(master);
        termios t{};
        ::tcgetattr(master, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master, TCSANOW, &t);
    }
    ~Pty() { Close(); }
    void Close()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    void Send(const std::string& bytes) const { (void)!::write(master, bytes.data(), bytes.size()); }
    std::string Drain() const
    {
        std::string got;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(master, buf, sizeof buf)) > 0)
            got.append(buf, static_cast<size_t>(n));
        return got;
    }
};
