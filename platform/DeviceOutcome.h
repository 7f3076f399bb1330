#pragma once
#include <QString>

// What one device operation came to: nothing wrong, or which device failed at
// which step, how (a kind a caller can act on: exit statuses, messages), the
// operating system's words and, when one is known, what to try.
//
// The window shows line() in its log beside the message it already gives; the
// command line prints it and turns kind() into an exit status. One value per
// root cause: an operation keeps its first failure, not the echoes that
// follow it ("no port is open" after a failed open).
class DeviceOutcome {
public:
    enum class Step {
        None,
        Open,        // finding, locking and opening the device
        Configure,   // applying the line settings
        Write,       // handing bytes to the device, drains included
        Read,        // waiting for and taking the answer
        Close,
        SetFeature,  // HID feature report out
        GetFeature,  // HID feature report back
    };
    enum class Kind {
        Ok,
        Absent,     // no such device (never there, or gone before the open)
        Denied,     // the user may not open it
        Busy,       // another program holds it
        Unusable,   // not a device of the kind needed (not a tty), or a bad name
        TimedOut,   // the device took or gave nothing within the bound
        Gone,       // the device vanished in the middle of the operation
        Failed,     // any other error of the operating system
    };

    DeviceOutcome() = default;
    DeviceOutcome(Kind kind, Step step, QString device, QString reason, int error = 0, QString hint = {});

    // The outcome of an OS call that failed with errno error on device at
    // step: the kind follows from the error, the reason is its text.
    static DeviceOutcome FromErrno(Step step, const QString& device, int error, const QString& hint = {});

    bool ok() const { return m_kind == Kind::Ok; }
    Kind kind() const { return m_kind; }
    Step step() const { return m_step; }
    const QString& device() const { return m_device; }
    // The errno the outcome came from, 0 when it came from elsewhere.
    int error() const { return m_error; }
    const QString& reason() const { return m_reason; }
    const QString& hint() const { return m_hint; }

    // One line for a log: "ttyACM0: cannot open: Permission denied: run ...",
    // "ttyACM0: busy: held by ModemManager (pid 812)",
    // "ttyACM0: write: the controller took no data for 2 s". Empty when ok.
    QString line() const;

    // What the step did, as line() names it ("cannot open", "write", ...).
    static QString StepText(Step step);

private:
    Kind m_kind = Kind::Ok;
    Step m_step = Step::None;
    QString m_device;
    QString m_reason;
    int m_error = 0;
    QString m_hint;
};
