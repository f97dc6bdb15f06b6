#pragma once
// An open that may block (a Bluetooth port whose device is off, a hung adapter's
// driver, a server across the network) runs on a thread of its own, and the
// caller waits for it at most kOpenBound. A wait longer than a moment is told
// (the transport's OnWaiting: what, then empty), and meanwhile the event loop
// turns without user input, so the window paints what it says. Timers may fire
// inside the wait: the transport refuses an Open then, and a Close cuts the wait.
// What the open makes after it was given up is dropped on its own thread.

#include <chrono>
#include <functional>
#include <string>

class QEventLoop;

namespace platform {

constexpr auto kOpenBound = std::chrono::seconds(5);
// An open that takes longer than this is told, and the window painted meanwhile;
// a quicker one lets no timer fire inside it.
constexpr auto kOpenQuiet = std::chrono::milliseconds(250);

enum class OpenEnd {
    Done,     // within the bound
    TooLate,  // given up; drop runs when the open comes back at last
    Cut,      // a Close came meanwhile; what a finished open made is the caller's to drop
};

class SlowOpen {
public:
    // work, then accept (the open kept) or drop (given up), all on the open's own
    // thread, a QThread, so that what it makes may watch its port.
    OpenEnd Run(std::function<void()> work, std::function<void()> accept, std::function<void()> drop,
                const std::string& what, const std::function<void(const std::string&)>& onWaiting);
    bool Waiting() const { return waiting_; }
    void Cut();

private:
    bool waiting_ = false, cut_ = false;
    QEventLoop* loop_ = nullptr;
};

// The serial transports' words: what a slow open waits on, why a second open is
// refused while one waits, why one was cut, why one was given up.
std::string SlowPortWords(const std::string& device);
std::string StillOpeningWords(const std::string& device);
std::string CutOpenWords(const std::string& device);
std::string NoAnswerWords(const std::string& device);
// A bound in words: "5 s", "0.4 s".
std::string SecondsWords(std::chrono::milliseconds bound);

}  // namespace platform
