#pragma once
#include "platform/HidBus.h"
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

class Clock;

// The calibration exchange with the controller in HID mode: feature report 2
// with the command 0x23 starts the calibration, and reading report 2 back
// through the same buffer blocks until it ends; the answer 0x02 0x02 means
// done. A calibration takes at least a second, so an answer within the same
// wall-clock second counts as a failure even when its bytes are right.
//
// The read-back runs on a worker thread while the window's thread waits in
// slices through the Clock (the window keeps painting), up to a bound.
class Calibration {
public:
    enum class Outcome {
        Succeeded,    // 0x02 0x02, at least one whole second after the start
        TooQuick,     // 0x02 0x02 within the same second
        WrongAnswer,  // any other bytes
        ReadFailed,   // the read-back failed (the sent bytes stay in the report)
        TimedOut,     // no answer within the bound
    };

    static constexpr std::uint8_t REPORT_ID = 0x02;
    static constexpr std::uint8_t CMD_CALIBRATE = 0x23;
    static constexpr std::uint8_t ANSWER_DONE = 0x02;
    // Default bound on the read-back, in ms of the Clock.
    static constexpr int DEFAULT_READBACK_TIMEOUT_MS = 30000;
    // The window's thread waits for the worker in slices of this many ms.
    static constexpr int WAIT_SLICE_MS = 10;

    explicit Calibration(Clock& clock, int readBackTimeoutMs = DEFAULT_READBACK_TIMEOUT_MS);

    // Window's thread. Sends 0x02 0x23 on device (the open controller, not
    // null; the result of the send is not looked at), reads the clock (t0),
    // reads the report back on a worker thread, reads the clock (t1).
    //
    // Ownership: device is shared with the worker for the read-back; on
    // return it holds a handle to the same device that the caller closes as
    // usual (by resetting it). When the bound runs out the worker is left to
    // finish its read on its own and releases the device when the read
    // returns, so the device outlives every use of it.
    Outcome run(std::unique_ptr<HidDevice>& device);

    // The report after the exchange: the answer, or the sent bytes when the
    // read-back failed or ran out of time.
    const std::array<std::uint8_t, 2>& report() const { return m_report; }
    // The clock readings before and after the read-back, whole seconds.
    std::int64_t t0() const { return m_t0; }
    std::int64_t t1() const { return m_t1; }
    int readBackTimeoutMs() const { return m_timeoutMs; }
    // Why the exchange failed at the device (the set refused, the read-back
    // failed or timed out), with the OS error; ok() when the device answered
    // (a wrong or too quick answer is the controller's, not the device's).
    const DeviceOutcome& failure() const { return m_failure; }
    // Why an outcome is not a success, in one line: the device's failure,
    // or what the controller answered; empty for Succeeded.
    QString reason(Outcome outcome) const;

private:
    Clock& m_clock;
    int m_timeoutMs;
    std::array<std::uint8_t, 2> m_report{REPORT_ID, CMD_CALIBRATE};
    std::int64_t m_t0 = 0;
    std::int64_t m_t1 = 0;
    DeviceOutcome m_failure;
};
