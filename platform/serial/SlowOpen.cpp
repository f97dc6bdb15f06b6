#include "platform/serial/SlowOpen.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace platform {

OpenEnd SlowOpen::Run(std::function<void()> work, std::function<void()> accept, std::function<void()> drop,
                      const std::string& what, const std::function<void(const std::string&)>& onWaiting)
{
    struct Shared {
        std::mutex m;
        std::condition_variable cv;
        bool done = false, givenUp = false;
        QEventLoop* loop = nullptr;
        std::function<void()> drop;
    };
    auto s = std::make_shared<Shared>();
    s->drop = std::move(drop);
    QThread* thread = QThread::create([s, work = std::move(work), accept = std::move(accept)] {
        work();
        std::lock_guard lock(s->m);
        if (s->givenUp)
            return s->drop();
        accept();
        s->done = true;
        s->cv.notify_one();
        if (s->loop)
            QMetaObject::invokeMethod(s->loop, "quit", Qt::QueuedConnection);
    });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    {
        std::unique_lock lock(s->m);
        if (s->cv.wait_for(lock, kOpenQuiet, [&] { return s->done; }))
            return OpenEnd::Done;
    }

    QEventLoop loop;
    QTimer::singleShot(kOpenBound - kOpenQuiet, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    bool done = false;
    {
        std::lock_guard lock(s->m);
        done = s->done;
        s->loop = &loop;
    }
    waiting_ = true;
    cut_ = false;
    loop_ = &loop;
    if (onWaiting)
        onWaiting(what);
    if (!done && !cut_)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    waiting_ = false;
    loop_ = nullptr;
    {
        std::lock_guard lock(s->m);
        s->loop = nullptr;
        done = s->done;
        s->givenUp = !done;
    }
    if (onWaiting)
        onWaiting({});
    if (cut_ && done)
        s->drop();  // accepted on this thread: dropped here
    return cut_ ? OpenEnd::Cut : done ? OpenEnd::Done : OpenEnd::TooLate;
}

void SlowOpen::Cut()
{
    cut_ = true;
    if (loop_)
        loop_->quit();
}

std::string SlowPortWords(const std::string& device)
{
    return device + "'s driver has not answered yet: a Bluetooth port whose device is switched off or out of range "
                    "answers late or never. Giving up after " +
           SecondsWords(kOpenBound);
}

std::string SecondsWords(std::chrono::milliseconds bound)
{
    const auto ms = bound.count();
    return std::to_string(ms / 1000) + (ms % 1000 ? "." + std::to_string(ms % 1000 / 100) : "") + " s";
}

std::string StillOpeningWords(const std::string& device)
{
    return device + " is still being opened: its driver has not answered yet";
}

std::string CutOpenWords(const std::string& device) { return device + " was closed before its driver answered"; }

std::string NoAnswerWords(const std::string& device)
{
    return device + " does not answer: a Bluetooth port whose device is switched off or out of range, or an adapter "
                    "that hangs. Switch the device on and bring it near (pair it again if needed), or unplug the "
                    "adapter and plug it back in";
}

}  // namespace platform
