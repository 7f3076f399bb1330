#include "app/WorkerClock.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <chrono>
#include <thread>

WorkerClock::WorkerClock() { m_timer.start(); }

std::int64_t WorkerClock::wallSeconds() const { return QDateTime::currentSecsSinceEpoch(); }

std::int64_t WorkerClock::nowMs() const { return m_timer.elapsed(); }

void WorkerClock::sleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void WorkerClock::schedule(int ms, std::function<void()> fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [ms, fn = std::move(fn)]() mutable {
            QTimer::singleShot(ms, Qt::PreciseTimer, QCoreApplication::instance(), std::move(fn));
        },
        Qt::QueuedConnection);
}
