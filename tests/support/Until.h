#pragma once
// Waiting on a condition in the event loop, on every system. Needs a
// QCoreApplication.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

// Waits for a condition asleep in the event loop, woken by every event and by a
// tick for conditions no event tells of. The limit only ends a run that has
// already failed: nothing asserts on time.
template <class Condition>
bool Until(Condition done, int ms = 20000)
{
    const QDeadlineTimer end(ms);
    QTimer tick;
    tick.start(50);
    while (!done() && !end.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}
