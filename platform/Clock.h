#pragma once
#include <cstdint>
#include <functional>

// Time and waiting for every exchange with the controller.
//
// All waits of the tool go through one Clock so that the window keeps
// painting while an operation waits (the real clock runs the event loop
// without user input) and so that tests need not sleep (a manual clock
// advances at once). A clock belongs to one thread, the one whose waits it
// serves (the window's); only schedule() may be called from any thread.
class Clock {
public:
    virtual ~Clock() = default;

    // Wall clock in whole seconds since the epoch.
    virtual std::int64_t wallSeconds() const = 0;

    // Monotonic milliseconds; only differences are meaningful.
    virtual std::int64_t nowMs() const = 0;

    // Pauses for ms milliseconds. The window keeps painting; user input is
    // held back until the operation ends.
    virtual void sleepMs(int ms) = 0;

    // Lets the window paint once without waiting (used inside busy loops such
    // as a blocking read that waits in short slices).
    virtual void pump() = 0;

    // Runs fn on the window's thread after ms milliseconds of this clock.
    // Safe to call from any thread.
    virtual void schedule(int ms, std::function<void()> fn) = 0;

    // While on, waits and pumps deliver user input as well, for an
    // operation that watches the input itself (a download that Esc stops,
    // which takes every other key and click away). Off, as it starts, input
    // is held back until the operation ends.
    virtual void setUserInputDelivered(bool on) { (void)on; }
};
