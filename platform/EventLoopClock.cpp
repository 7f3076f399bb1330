#include "platform/EventLoopClock.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

EventLoopClock::EventLoopClock() { m_timer.start(); }

std::int64_t EventLoopClock::wallSeconds() const
{
    return QDateTime::currentSecsSinceEpoch();
}

std::int64_t EventLoopClock::nowMs() const { return m_timer.elapsed(); }

void EventLoopClock::sleepMs(int ms)
{
    if (ms <= 0 || !QCoreApplication::instance()) {
        pump();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(flags());
}

void EventLoopClock::pump()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(flags());
}

void EventLoopClock::setUserInputDelivered(bool on) { m_userInput = on; }

QEventLoop::ProcessEventsFlags EventLoopClock::flags() const
{
    return m_userInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
}

void EventLoopClock::schedule(int ms, std::function<void()> fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    // Hop to the application's thread first, so that callers on other threads
    // (the simulated controller's serial side) get a timer of that thread.
    QMetaObject::invokeMethod(
        app,
        [ms, fn = std::move(fn)]() mutable {
            QTimer::singleShot(ms, Qt::PreciseTimer, QCoreApplication::instance(), std::move(fn));
        },
        Qt::QueuedConnection);
}
